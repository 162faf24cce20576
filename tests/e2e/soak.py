"""Soak of tarnlet.exe under Wine: fifty loopback hosts, each a scripted
ping.exe printing ten lines a second, for the chosen duration on an Xvfb
display. Prints one "name: value" figure per line and exits with 1 when a
check fails:
  - the window answers: the window driver reads all fifty rows within a
    bounded time throughout;
  - closing the window ends the program within 2 seconds and leaves no
    ping.exe;
  - the data files hold every line the scripts printed, as whole minutes.
Memory is the resident size of the tarnlet.exe process, sampled every few
seconds after a warm-up; growth per hour is its least-squares slope.

Rows cover finished minutes only, so each script ends with four marker
replies 20 s apart: they close the last minute of the regular lines without
leaving a minute-long gap (a minute followed by such a gap is never written),
and the final minute then holds only markers. The failures are all regular
lines, so the drops in the rows must equal them exactly; the counts must be
the regular replies plus one to three markers.

  soak.py [--seconds N] [--hosts N]
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402

LINE_PAUSE_MS = 100
MARKERS = 4
MARKER_PAUSE_MS = 20000
MARKER_TIME_MS = 999
RESPONSIVE_LIMIT_S = 10.0
CLOSE_LIMIT_S = 2.0


def script(host, index, lines):
    """Ping.exe's header, the regular lines (replies with an occasional
    timeout that never follows another), the markers, then silence so that
    the child is never restarted."""
    text = ["flood 1 Pinging %s with 32 bytes of data:" % host]
    replies = failures = 0
    failure_every = 7 + index % 5
    for i in range(lines):
        if i % failure_every == failure_every - 1:
            text.append("%d Request timed out." % LINE_PAUSE_MS)
            failures += 1
        else:
            text.append("%d Reply from %s: bytes=32 time=%dms TTL=128" % (LINE_PAUSE_MS, host, (i + index) % 40))
            replies += 1
    for _ in range(MARKERS):
        text.append("%d Reply from %s: bytes=32 time=%dms TTL=128" % (MARKER_PAUSE_MS, host, MARKER_TIME_MS))
    text.append("hang")
    return "\n".join(text) + "\n", replies, failures


def processes(predicate):
    """Pids of processes whose command line and environment match."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as file:
                command = file.read().decode("utf-8", "replace")
            with open("/proc/%s/environ" % entry, "rb") as file:
                environment = file.read().decode("utf-8", "replace")
        except OSError:
            continue
        if predicate(command, environment):
            found.append(int(entry))
    return found


def resident_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as file:
            for line in file:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def growth_per_hour(samples):
    """Least-squares slope of (seconds, KiB), in KiB per hour."""
    n = len(samples)
    if n < 2:
        return 0.0
    sx = sum(x for x, _ in samples)
    sy = sum(y for _, y in samples)
    sxx = sum(x * x for x, _ in samples)
    sxy = sum(x * y for x, y in samples)
    denominator = n * sxx - sx * sx
    return 0.0 if denominator == 0 else (n * sxy - sx * sy) / denominator * 3600


def data_rows(profile, host):
    """(minute, count, drops, disconnects) of the host's data file."""
    rows = []
    for line in (profile.file(host + ".txt") or "").splitlines():
        fields = line.split("\t")
        if len(fields) == 7:
            rows.append((fields[0], int(fields[1]), int(fields[5]), int(fields[6])))
    return rows


def figure(name, value):
    print("%s: %s" % (name, "%.3f" % value if isinstance(value, float) else value), flush=True)


def verdict(name, passed):
    figure(name, "pass" if passed else "FAIL")
    return passed


def soak(seconds, host_count):
    hosts = ["127.0.0.%d" % i for i in range(1, host_count + 1)]
    scripts = {}
    printed = {}
    for index, host in enumerate(hosts, 1):
        scripts[host], replies, failures = script(host, index, seconds * 10)
        printed[host] = (replies, failures)
    listed = "".join(host + ";" for host in hosts)
    # The first use of the prefix makes it.
    harness.driver("rect", harness.CAPTION)
    profile = harness.Profile(scripts, config="hosts\t%s\nactive\t%s\n" % (listed, listed))
    figure("hosts", host_count)
    figure("printed_replies", sum(r for r, _ in printed.values()))
    figure("printed_failures", sum(f for _, f in printed.values()))

    passed = True
    ours = lambda command, environment: harness.windows_path(profile.scripts) in environment  # noqa: E731
    program = harness.Tarnlet(profile)
    try:
        # Wine's launcher may linger beside the program's own process, which
        # is the one that holds the memory.
        def tarnlet():
            pids = processes(lambda command, environment: ours(command, environment)
                             and "tarnlet.exe" in command and "wine-run" not in command)
            sizes = [(resident_kib(pid) or 0, pid) for pid in pids]
            return max(sizes)[1] if sizes else None

        harness.check(tarnlet() is not None, "no tarnlet.exe process found")
        started = time.time()
        warm_up = min(30.0, seconds / 10)
        # Until the markers have played: the lines, the marker pauses and
        # the slack that a loaded machine stretches sleeps by.
        end = started + seconds * 1.1 + MARKERS * MARKER_PAUSE_MS / 1000 + 15
        memory = []
        answers = []
        short_reads = 0
        while time.time() < end:
            asked = time.time()
            rows = program.rows()
            answers.append(time.time() - asked)
            if len(rows) != host_count:
                short_reads += 1
            pid = tarnlet()
            kib = resident_kib(pid) if pid else None
            if kib is not None and time.time() - started >= warm_up:
                memory.append((time.time() - started, kib))
            time.sleep(5)
        figure("run_s", time.time() - started)
        figure("ping_children", len(processes(lambda c, e: ours(c, e) and "ping.exe" in c)))
        if memory:
            figure("rss_first_kib", memory[0][1])
            figure("rss_last_kib", memory[-1][1])
            figure("rss_peak_kib", max(k for _, k in memory))
        figure("rss_growth_kib_per_hour", growth_per_hour(memory))
        figure("window_reads", len(answers))
        figure("window_read_longest_s", max(answers))
        figure("window_reads_short", short_reads)
        passed &= verdict("window_responsive", max(answers) < RESPONSIVE_LIMIT_S and short_reads == 0)

        closing = time.time()
        harness.driver("close", harness.CAPTION)
        asked = time.time()
        gone = harness.wait_until(lambda: tarnlet() is None, 20, interval=0.05)
        figure("close_request_s", asked - closing)
        figure("shutdown_s", time.time() - asked)
        passed &= verdict("shutdown_within_2s", gone and time.time() - asked < CLOSE_LIMIT_S)
        program.process.wait(20)
        left = processes(lambda c, e: ours(c, e) and "ping.exe" in c)
        figure("ping_left", len(left))
        passed &= verdict("children_gone", not left)
    finally:
        program.kill()

    # The data files: whole minutes, in order, none twice.
    mismatched = 0
    row_counts = row_drops = row_disconnects = rows_total = 0
    for host in hosts:
        rows = data_rows(profile, host)
        replies, failures = printed[host]
        counts = sum(r[1] for r in rows)
        drops = sum(r[2] for r in rows)
        disconnects = sum(r[3] for r in rows)
        minutes = [r[0] for r in rows]
        ordered = minutes == sorted(set(minutes))
        if not (ordered and drops == failures and replies + 1 <= counts <= replies + MARKERS - 1 and not disconnects):
            print("mismatch: %s %d rows, counts %d for %d replies + markers, drops %d of %d failures, "
                  "disconnects %d, ordered %s" % (host, len(rows), counts, replies, drops, failures, disconnects,
                                                  ordered), flush=True)
            mismatched += 1
        row_counts += counts
        row_drops += drops
        row_disconnects += disconnects
        rows_total += len(rows)
    figure("rows", rows_total)
    figure("row_counts", row_counts)
    figure("row_drops", row_drops)
    figure("row_disconnects", row_disconnects)
    figure("hosts_mismatched", mismatched)
    passed &= verdict("accounting_rows", mismatched == 0)
    profile.close()
    return passed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=int, default=600)
    parser.add_argument("--hosts", type=int, default=50)
    options = parser.parse_args()
    display = harness.Display()
    try:
        passed = soak(options.seconds, options.hosts)
    finally:
        display.close()
    print("result: %s" % ("pass" if passed else "FAIL"))
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
