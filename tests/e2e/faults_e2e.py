"""What tarnlet.exe does when things go wrong around it: hostile data and
configuration files, a ping.exe that is missing, ends at once or is killed.
The window must keep answering, and nothing stored may go."""

import os
import time

from harness import Profile, Tarnlet, check, prefix, running, wait_until, wine

GOOD_ROWS = ("2023-11-14 09:01:00\t4\t20\t10\t30\t0\t2\r\n"
             "2023-11-14 09:00:00\t3\t7\t6\t8\t0\t0\n")


def replies(host, milliseconds):
    return "500 Reply from %s: bytes=32 time=%dms TTL=128\nrepeat\n" % (host, milliseconds)


def one_host(host):
    return "hosts\t%s;\nactive\t%s;\n" % (host, host)


def system_ping():
    return os.path.join(prefix(), "drive_c", "windows", "system32", "ping.exe")


def ping_column(host):
    rows = [row for row in Tarnlet.rows() if row and row[0] == host]
    return rows[0][1] if rows else None


def test_a_hostile_data_file_loads_while_the_window_answers(display):
    host = "127.0.0.41"
    profile = Profile({host: replies(host, 5)}, config=one_host(host))
    kept = (GOOD_ROWS + "garbage\n" + "\0\x01\xff\t\t\t\t\t\t\0\n" + "x" * (100 << 20) + "\n" +
            "1601-01-01 00:00:00\t5\t1\t1\t1\t0\t0\n" + "9999-12-31 23:59:00\t5\t1\t1\t1\t0\t0\n")
    # A row cut by a crash: the first row of the run takes its place.
    hostile = kept + "2023-11-14 09:02:00\t6\t1"
    path = os.path.join(profile.data, host + ".txt")
    with open(path, "wb") as file:
        file.write(hostile.encode("latin-1"))
    with running(profile) as program:
        # The window answers and the runner reports while the file loads.
        program.wait_for_rows(lambda rows: len(rows) == 1 and rows[0][1] == "5")
        program.close()
    with open(path, "rb") as file:
        check(file.read(len(kept)) == kept.encode("latin-1"), "the data file was changed")
        check(not file.read().startswith(b"2023-11-14 09:02:00"), "the cut row is still there")


def test_a_ping_that_ends_at_once_shows_a_dash_and_starts_again(display):
    host = "127.0.0.42"
    profile = Profile({host: "exit 1\n"}, config=one_host(host))
    record = os.path.join(profile.scripts, host + ".args")
    with running(profile) as program:
        check(wait_until(lambda: os.path.exists(record), 20), "ping.exe was never started")
        program.wait_for_rows(lambda rows: rows and rows[0][1] == "-")
        os.remove(record)
        started = time.time()
        check(wait_until(lambda: os.path.exists(record), 15), "ping.exe was not started again")
        waited = time.time() - started
        check(5 <= waited <= 12.5, "started again after %.1f s" % waited)
        check(ping_column(host) == "-", "the row shows %r" % ping_column(host))
        program.close()


def test_a_killed_ping_comes_back(display):
    host = "127.0.0.43"
    profile = Profile({host: replies(host, 6)}, config=one_host(host))
    with running(profile) as program:
        program.wait_for_rows(lambda rows: rows and rows[0][1] == "6")
        wine(["taskkill", "/f", "/im", "ping.exe"], stdout=open(os.devnull, "w"), stderr=open(os.devnull, "w"),
             timeout=30)
        program.wait_for_rows(lambda rows: rows[0][1] == "-", timeout=10)
        program.wait_for_rows(lambda rows: rows[0][1] == "6", timeout=20)
        program.close()


def test_a_missing_ping_shows_a_dash_until_it_is_back(display):
    host = "127.0.0.44"
    profile = Profile({host: replies(host, 7)}, config=one_host(host))
    stand_in = system_ping()
    hidden = stand_in + ".away"
    os.replace(stand_in, hidden)
    try:
        with running(profile) as program:
            program.wait_for_rows(lambda rows: rows and rows[0][1] == "-")
            time.sleep(2)
            check(ping_column(host) == "-", "a host without ping.exe shows %r" % ping_column(host))
            os.replace(hidden, stand_in)
            program.wait_for_rows(lambda rows: rows[0][1] == "7", timeout=20)
            program.close()
    finally:
        if os.path.exists(hidden):
            os.replace(hidden, stand_in)


def test_a_hostile_config_still_starts_with_every_host(display):
    hosts = ["127.1.%d.%d" % (n // 250, n % 250 + 1) for n in range(2000)]
    # Every host but one disabled: thousands of ping children would only
    # measure Wine.
    config = ("\0\x01\xfe\xff binary\tgarbage\0\n" + "junk\t" + "v" * (50 << 20) + "\n" +
              "hosts\t" + ";".join(hosts) + ";\n" + "active\t" + hosts[0] + ";\n" + "\xff\xfe\n")
    profile = Profile({hosts[0]: replies(hosts[0], 8)}, config="")
    with open(os.path.join(profile.data, "config.txt"), "wb") as file:
        file.write(config.encode("latin-1"))
    with running(profile) as program:
        # The window may show before its rows: it answers while it tells the
        # shell about its notification-area icon.
        rows = program.wait_for_rows(lambda rows: len(rows) == len(hosts), timeout=30)
        check(sorted(row[0] for row in rows) == sorted(hosts), "the host list shows %d of the hosts" % len(rows))
        # A window thread still busy filling the list would not close.
        program.close(timeout=10)
    saved = profile.file("config.txt") or ""
    saved_hosts = [line for line in saved.splitlines() if line.startswith("hosts\t")]
    check(saved_hosts and sorted(saved_hosts[-1][6:].split(";")[:-1]) == sorted(hosts), "the hosts were not saved whole")
    check("active\t%s;\n" % hosts[0] in saved, "the active host was not saved")
