"""tarnlet.exe's metrics page under Wine: hostile clients against it while it
pings, a port already taken, and a real Prometheus on loopback that scrapes
it every second and must agree with the minute rows in the data file.

The Prometheus check waits for minute boundaries, so it runs beside the data
folder faults (data_folder_faults_e2e), in a copy of the test prefix, and
hands its result to the check here; run alone, the check runs it itself.
Prometheus gets a configuration with one loopback target and nothing else (no
alerting, no remote storage), its own storage folder and a loopback
listener, and is stopped however the check ends.
"""

import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import urllib.parse
import urllib.request

from harness import (Profile, check, copy_of_the_test_prefix, driver, launch, running, wait_until,
                     windows_path)
from soak import processes, resident_kib

CONTENT_TYPE = "text/plain; version=0.0.4; charset=utf-8"
TITLE_NOTE = "tarnlet 1.1 (metrics off)"
ROW = re.compile(r"^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})\t(\d+)\t-?\d+\t-?\d+\t-?\d+\t(\d+)\t\d+$")
# The server's own bound on a connection.
CONNECTION_TIMEOUT = 10


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def get(port, path="/metrics", method="GET", timeout=10):
    """(status, content type, body) of one request to tarnlet's server."""
    request = urllib.request.Request("http://127.0.0.1:%d%s" % (port, path), method=method)
    try:
        with urllib.request.urlopen(request, timeout=timeout) as answer:
            return answer.status, answer.headers.get("Content-Type"), answer.read().decode("utf-8")
    except urllib.error.HTTPError as error:
        return error.code, error.headers.get("Content-Type"), error.read().decode("utf-8")


def scrape(port, timeout=10):
    """The page, or None while the server does not answer."""
    try:
        status, _, body = get(port, timeout=timeout)
        return body if status == 200 else None
    except OSError:
        return None


def sample(page, name, host):
    match = re.search(r'^%s\{host="%s"\} (\S+)$' % (re.escape(name), re.escape(host)), page or "", re.M)
    return float(match.group(1)) if match else None


def promtool_check(page):
    result = subprocess.run(["promtool", "check", "metrics"], input=page.encode(), stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=60)
    check(result.returncode == 0, "promtool finds fault with the page: %s" % result.stdout.decode()[:500])


def tarnlet_pid(profile):
    ours = windows_path(profile.scripts)
    pids = processes(lambda command, environment: ours in environment and "tarnlet.exe" in command
                     and "wine-run" not in command)
    sizes = sorted((resident_kib(pid) or 0, pid) for pid in pids)
    return sizes[-1][1] if sizes else None


def replies(host, pause_ms, milliseconds):
    return "%d Reply from %s: bytes=32 time=%dms TTL=128\nrepeat\n" % (pause_ms, host, milliseconds)


# Hostile clients, each bounded in time.

def send_quietly(port, data, read=True, timeout=15):
    """Sends data and returns what comes back up to the server's close."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as client:
        try:
            client.sendall(data)
            if not read:
                return b""
            answer = b""
            while True:
                piece = client.recv(65536)
                if not piece:
                    return answer
                answer += piece
        except OSError:
            return b""


def slow_reader(port, seconds, result):
    """Asks for the page and reads one byte a second. The server lets go of
    it at its time-out (cpp_tests shows that), but what the system took
    before stays readable, so only the bytes read are noted."""
    with socket.socket() as client:
        client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1024)
        client.settimeout(seconds + 5)
        client.connect(("127.0.0.1", port))
        client.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n")
        started = time.time()
        read = 0
        while time.time() - started < seconds:
            try:
                if not client.recv(1):
                    break
            except OSError:
                break
            read += 1
            time.sleep(1)
        result["read"] = read


def test_hostile_clients_leave_tarnlet_pinging_and_its_page_served(display):
    host = "127.0.0.72"
    port = free_port()
    # The key in config.txt this time; the flag in the other checks.
    config = "hosts\t%s;\nactive\t%s;\nmetrics\t127.0.0.1:%d\n" % (host, host, port)
    profile = Profile({host: replies(host, 200, 3)}, config=config)
    with running(profile) as program:
        check(wait_until(lambda: scrape(port), 30), "the page never answered")
        status, content_type, page = get(port)
        check(status == 200 and content_type == CONTENT_TYPE, "a scrape got %s %s" % (status, content_type))
        promtool_check(page)
        for _ in range(20):
            scrape(port)
        pid = tarnlet_pid(profile)
        before = resident_kib(pid)
        replies_before = sample(scrape(port), "tarnlet_ping_replies_total", host)

        silent = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(200)]
        slow = {}
        reader = threading.Thread(target=slow_reader, args=(port, CONNECTION_TIMEOUT + 4, slow))
        reader.start()
        answers = {
            "a 1 MiB head": send_quietly(port, b"GET /" + b"a" * (1 << 20) + b" HTTP/1.1\r\n\r\n"),
            "garbage": send_quietly(port, os.urandom(4096).replace(b"\n", b"") + b"\r\n\r\n"),
            "a POST": send_quietly(port, b"POST /metrics HTTP/1.1\r\nContent-Length: 2\r\n\r\nab"),
            "an unknown path": send_quietly(port, b"GET /admin HTTP/1.1\r\n\r\n"),
            "HEAD": send_quietly(port, b"HEAD /metrics HTTP/1.1\r\n\r\n"),
        }
        for _ in range(20):
            send_quietly(port, b"GET /metrics HTTP/1.1\r\nHo", read=False)
        for _ in range(50):
            send_quietly(port, bytes(range(256)) * 4)
        expected = {"a 1 MiB head": b"HTTP/1.1 431 ", "garbage": b"HTTP/1.1 400 ", "a POST": b"HTTP/1.1 405 ",
                    "an unknown path": b"HTTP/1.1 404 ", "HEAD": b"HTTP/1.1 200 "}
        for name, start in expected.items():
            check(answers[name].startswith(start), "%s got %r" % (name, answers[name][:60]))
        check(answers["HEAD"].endswith(b"\r\n\r\n"), "HEAD got a body")
        # While every silent connection is still open.
        during = scrape(port)
        check(during is not None, "no scrape answered while 200 connections sat silent")
        check(program.rows(), "the window did not answer during the attack")
        reader.join()
        for connection in silent:
            connection.close()
        time.sleep(2)
        for _ in range(20):
            scrape(port)
        after = resident_kib(pid)
        replies_after = sample(scrape(port), "tarnlet_ping_replies_total", host)
        print("e2e:   resident before the attack %d KiB, after %d KiB; the slow reader got %d bytes in %d s" % (
            before, after, slow.get("read", 0), CONNECTION_TIMEOUT + 4), flush=True)
        check(replies_after > replies_before + 50, "pinging stopped: %s then %s replies" % (
            replies_before, replies_after))
        check(after - before < 8 * 1024, "memory grew by %d KiB" % (after - before))
        program.wait_for_rows(lambda rows: rows and rows[0][1] == "3")
        program.close()


def test_a_port_in_use_is_one_warning_and_a_note_in_the_title(display):
    host = "127.0.0.73"
    taken = socket.socket()
    taken.bind(("127.0.0.1", 0))
    taken.listen()
    port = taken.getsockname()[1]
    profile = Profile({host: replies(host, 200, 4)}, config="hosts\t%s;\nactive\t%s;\n" % (host, host))
    process = launch(profile, ["--log", "--metrics=127.0.0.1:%d" % port])
    try:
        check(wait_until(lambda: driver("rect", TITLE_NOTE), 40), "no note in the title")
        check(wait_until(lambda: any(r[1:2] == ["4"] for r in
                                     [row.split("\t") for row in driver("rows", TITLE_NOTE, 1004)]), 20),
              "the host was not pinged")
        check(wait_until(lambda: "Metrics are off" in (profile.file("tarnlet.log") or ""), 10), "no warning logged")
        driver("close", TITLE_NOTE)
        check(wait_until(lambda: process.poll() is not None, 20), "tarnlet did not end")
        warnings = [line for line in profile.file("tarnlet.log").splitlines() if "Metrics are off" in line]
        check(len(warnings) == 1 and "127.0.0.1:%d" % port in warnings[0], "the log says %r" % warnings)
    finally:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
        taken.close()
        profile.close()


# The real Prometheus.

# Each minute the host answers (or not) every 500 ms from second 5 to about
# 45, so every minute boundary falls in a quiet spell that Prometheus scrapes.
def minute_script(host, minutes=5):
    lines = []
    for _ in range(minutes):
        lines.append("second 5")
        for index in range(80):
            if index % 5 == 4:
                lines.append("500 Request timed out.")
            else:
                lines.append("500 Reply from %s: bytes=32 time=%dms TTL=128" % (host, (1, 7, 30, 300)[index % 5]))
    return "\n".join(lines) + "\nhang\n"


class Prometheus:
    """prometheus on loopback with one target, its storage in a folder of its own."""

    def __init__(self, target_port):
        self.folder = tempfile.mkdtemp(prefix="tarnlet-e2e-prometheus-")
        self.port = free_port()
        config = os.path.join(self.folder, "prometheus.yml")
        with open(config, "w") as file:
            file.write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                       "scrape_configs:\n  - job_name: tarnlet\n    static_configs:\n"
                       "      - targets: ['127.0.0.1:%d']\n" % target_port)
        self.log = open(os.path.join(self.folder, "prometheus.log"), "w")
        self.process = subprocess.Popen(
            ["prometheus", "--config.file=" + config, "--storage.tsdb.path=" + os.path.join(self.folder, "data"),
             "--web.listen-address=127.0.0.1:%d" % self.port, "--log.level=warn"],
            stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)

    def query(self, expression, at=None):
        """The value of an instant query's single series, or None."""
        arguments = {"query": expression}
        if at is not None:
            arguments["time"] = "%.3f" % at
        url = "http://127.0.0.1:%d/api/v1/query?%s" % (self.port, urllib.parse.urlencode(arguments))
        try:
            with urllib.request.urlopen(url, timeout=10) as answer:
                result = json.load(answer)["data"]["result"]
        except (OSError, ValueError, KeyError):
            return None
        return float(result[0]["value"][1]) if len(result) == 1 else None

    def remote_addresses(self):
        """Where its TCP sockets lead, as (address, port) from /proc."""
        inodes = set()
        for fd in os.listdir("/proc/%d/fd" % self.process.pid):
            target = os.readlink("/proc/%d/fd/%s" % (self.process.pid, fd))
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
        found = []
        for table in ("tcp", "tcp6"):
            with open("/proc/%d/net/%s" % (self.process.pid, table)) as file:
                for line in file.readlines()[1:]:
                    fields = line.split()
                    if fields[9] in inodes:
                        address, port = fields[2].split(":")
                        found.append((address, int(port, 16)))
        return found

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(20)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def loopback(hex_address):
    """An address from /proc/net/tcp(6): 127.0.0.0/8, ::1, its IPv4-mapped
    form, or unconnected (all zeros)."""
    if len(hex_address) == 8:
        return hex_address.endswith("7F") or hex_address == "00000000"
    return hex_address in ("0" * 32, "0" * 24 + "01000000") or (
        hex_address.startswith("0000000000000000FFFF0000") and hex_address.endswith("7F"))


def rows(profile, host):
    """{minute start in seconds since the epoch: (replies, drops)}."""
    found = {}
    for line in (profile.file(host + ".txt") or "").split("\n"):
        match = ROW.match(line)
        if match:
            found[time.mktime(time.strptime(match.group(1), "%Y-%m-%d %H:%M:%S"))] = (
                int(match.group(2)), int(match.group(3)))
    return found


def prometheus_run():
    """The whole check in a copy of the test prefix; returns its report."""
    host = "127.0.0.71"
    with copy_of_the_test_prefix("metrics"):
        port = free_port()
        profile = Profile({host: minute_script(host)}, config="hosts\t%s;\nactive\t%s;\n" % (host, host))
        with running(profile, ["--metrics=127.0.0.1:%d" % port]):
            check(wait_until(lambda: scrape(port), 30), "the page never answered")
            promtool_check(scrape(port))
            prometheus = Prometheus(port)
            try:
                check(wait_until(lambda: prometheus.query('up{job="tarnlet"}') == 1, 60),
                      "Prometheus never scraped tarnlet")
                scraping = time.time()
                # The first boundary with a quiet spell scraped before it, and the next.
                first = (int(scraping + 16) // 60 + 1) * 60
                boundaries = [first, first + 60]
                check(wait_until(lambda: first in rows(profile, host), boundaries[1] + 20 - time.time(), 1),
                      "no row for the minute after %s" % time.ctime(first))
                written = rows(profile, host)
                addresses = prometheus.remote_addresses()
                for boundary in boundaries:
                    before = [counts for minute, counts in written.items() if minute < boundary]
                    in_rows = (sum(r for r, _ in before), sum(d for _, d in before))
                    scraped = tuple(prometheus.query('tarnlet_%s_total{host="%s"}' % (name, host), boundary)
                                    for name in ("ping_replies", "ping_failures"))
                    check(in_rows == scraped, "up to %s the rows count %s replies and failures, Prometheus %s" % (
                        time.ctime(boundary), in_rows, scraped))
                minute = written[first]
                scrapes = prometheus.query('count_over_time(up{job="tarnlet"}[1m])', boundaries[1])
            finally:
                prometheus.close()
        strangers = [a for a in addresses if not loopback(a[0])]
        check(not strangers, "Prometheus had sockets beyond loopback: %r" % strangers)
        check(minute[0] > 0 and minute[1] > 0, "the compared minute was empty: %r" % (minute,))
        return "the minute from %s: %d replies and %d failures in the row and in Prometheus (%d scrapes)" % (
            time.strftime("%H:%M", time.localtime(first)), minute[0], minute[1], scrapes or 0)


def prometheus_report():
    """(outcome, failure) of prometheus_run, for a pool beside other checks."""
    try:
        return prometheus_run(), None
    except Exception as error:  # handed to the check below, which fails
        return None, "%s: %s" % (type(error).__name__, error)


# What a run beside the data folder faults reported, if one ran.
beside = {}


def test_a_real_prometheus_scrapes_it_and_agrees_with_the_data_file(display):
    outcome, failure = beside.pop("prometheus", None) or prometheus_report()
    check(failure is None, failure)
    print("e2e:   %s" % outcome, flush=True)
