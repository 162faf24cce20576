"""The outage ledger end to end: a remote, a local and a wake incident in
outages.csv, line by line, and the Outages window listing them after a
restart, with the incident in progress written at exit."""

import datetime
import os
import time

from harness import CAPTION, Profile, Tarnlet, check, driver, wait_until

HOSTS = ["127.0.0.31", "127.0.0.32", "127.0.0.33"]
LONE = HOSTS[0]
OUTAGES_CAPTION = "Outages"
OUTAGES_BUTTON = 1100
TOTALS_LIST = 1101
INCIDENT_LIST = 1102
PBT_APMRESUMEAUTOMATIC = 18
HEADER = "start,end,seconds,scope,hosts,ended"
# Five lines a second: the second lost reply in a row disconnects.
STEP = 200


def lines(host, replies=0, timeouts=0):
    return ("%d Reply from %s: bytes=32 time=3ms TTL=128\n" % (STEP, host)) * replies + \
        ("%d Request timed out.\n" % STEP) * timeouts


def forever(host):
    return lines(host, 1) + "repeat\n"


def first_run_scripts():
    # The lone host fails alone from 2 s to 5 s; all three from 10 s to 13 s.
    scripts = {host: lines(host, 50, 15) + forever(host) for host in HOSTS}
    scripts[LONE] = lines(LONE, 10, 15) + lines(LONE, 25, 15) + forever(LONE)
    return scripts


def write_scripts(profile, scripts):
    for host, script in scripts.items():
        with open(os.path.join(profile.scripts, host + ".txt"), "w", newline="") as file:
            file.write(script)


def csv_lines(profile):
    return (profile.file("outages.csv") or "").split("\r\n")[:-1]


def wait_for_lines(profile, count, timeout):
    wait_until(lambda: len(csv_lines(profile)) >= count, timeout, 0.5)
    found = csv_lines(profile)
    check(len(found) == count, "outages.csv has %r, not %d lines" % (found, count))
    return found


def check_line(line, scope, hosts, ended, longest=8):
    fields = line.split(",")
    check(len(fields) == 6, "not six fields: %r" % line)
    start, end = datetime.datetime.fromisoformat(fields[0]), datetime.datetime.fromisoformat(fields[1])
    check(start.utcoffset() is not None and len(fields[0]) == 25, "no local time with offset: %r" % line)
    seconds = int(fields[2])
    check((end - start).total_seconds() == seconds, "end - start is not the seconds: %r" % line)
    check(1 <= seconds <= longest, "an incident of %d s: %r" % (seconds, line))
    check(fields[3] == scope, "scope %r, not %r: %r" % (fields[3], scope, line))
    check(sorted(fields[4].split(";")) == sorted(hosts), "hosts %r, not %r" % (fields[4], hosts))
    check(fields[5] == ended, "ended %r, not %r: %r" % (fields[5], ended, line))
    return start


def outage_rows():
    return [row.split("\t") for row in driver("cells", OUTAGES_CAPTION, INCIDENT_LIST)]


def test_outages_are_kept_line_by_line_and_listed_after_a_restart(display):
    config = "hosts\t%s;\nactive\t%s;\n" % (";".join(HOSTS), ";".join(HOSTS))
    profile = Profile(first_run_scripts(), config=config)
    program = Tarnlet(profile)
    try:
        found = wait_for_lines(profile, 3, 40)
        check(found[0] == HEADER, "the heading is %r" % found[0])
        remote = check_line(found[1], "remote", [LONE], "reply")
        local = check_line(found[2], "local", HOSTS, "reply")
        check(remote < local, "the remote incident is not first")

        # As the system wakes the machine: every runner starts ping.exe
        # afresh, now with scripts in which all fail for three seconds.
        write_scripts(profile, {host: lines(host, 0, 15) + forever(host) for host in HOSTS})
        driver("power", CAPTION, PBT_APMRESUMEAUTOMATIC)
        found = wait_for_lines(profile, 4, 30)
        wake = check_line(found[3], "wake", HOSTS, "reply")
        check(local < wake, "the wake incident is not last")
        program.close()
    finally:
        program.kill()
    check(csv_lines(profile) == found, "closing changed outages.csv: %r" % csv_lines(profile))

    # The lone host fails for good a few seconds into the second run.
    write_scripts(profile, {host: forever(host) for host in HOSTS})
    write_scripts(profile, {LONE: lines(LONE, 25) + lines(LONE, 0, 1) + "repeat\n"})
    program = Tarnlet(profile)
    try:
        driver("command", CAPTION, OUTAGES_BUTTON)
        rows = []
        wait_until(lambda: len(outage_rows()) >= 3, 20, 0.5)
        rows = outage_rows()
        check([row[2] for row in rows[:3]] == ["wake", "local", "remote"],
              "the window lists %r, not the three newest first" % rows)
        check(rows[2][3] == LONE and sorted(rows[1][3].split(", ")) == HOSTS, "hosts listed as %r" % rows)
        totals = [row.split("\t") for row in driver("cells", OUTAGES_CAPTION, TOTALS_LIST)]
        check([row[:2] for row in totals] == [["Last 24 hours", "1"], ["Last 7 days", "1"], ["Last 30 days", "1"]],
              "the totals are %r" % totals)
        check(all(row[4].endswith(" %") for row in totals), "no availability in %r" % totals)

        check(wait_until(lambda: (outage_rows() or [[""] * 4])[0][1].endswith("so far"), 30, 0.5),
              "the incident in progress is not at the top: %r" % outage_rows())
        top = outage_rows()[0]
        check(top[2:] == ["remote", LONE], "the incident in progress is %r" % top)
        time.sleep(1)
        program.close()
    finally:
        program.kill()
        profile.close()
    kept = csv_lines(profile)
    check(kept[:4] == found and len(kept) == 5, "the second run left %r" % kept)
    check_line(kept[4], "remote", [LONE], "exit", longest=60)
