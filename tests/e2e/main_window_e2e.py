"""What a user sees in the main window and what it leaves in the files."""

import os
import re
import time

from harness import CAPTION, REPO, Profile, check, driver, running

GREEN_FILL = (203, 255, 137)
LOST_FILL = (128, 128, 128)
DISABLED_BORDER = (206, 206, 206)
LIVE_BACKGROUND = (112, 128, 160)


def replies(host, milliseconds):
    return "1000 Reply from %s: bytes=32 time=%dms TTL=128\nrepeat\n" % (host, milliseconds)


TIMEOUTS = "1000 Request timed out.\nrepeat\n"



def icon_count(shot, row, colour):
    left, top, right, bottom = (int(v) for v in row[3].split())
    return shot.count(colour, left, top, right, bottom)


def test_host_list_shows_each_host_in_name_order_with_its_state(display):
    profile = Profile(
        {"127.0.0.11": replies("127.0.0.11", 5), "127.0.0.12": TIMEOUTS},
        config="hosts\t127.0.0.13;127.0.0.12;127.0.0.11;\nactive\t127.0.0.11;127.0.0.12;\n")
    with running(profile) as program:
        rows = program.wait_for_rows(lambda rows: len(rows) == 3 and rows[0][1] == "5")
        check([row[0] for row in rows] == ["127.0.0.11", "127.0.0.12", "127.0.0.13"], "rows not in name order")
        check(rows[0][2] == "5", "a 5 ms reply shows image %s" % rows[0][2])
        rows = program.wait_for_rows(lambda rows: rows[1][2] == "6")
        check(rows[1][1] == "-", "a host that never replies shows %r" % rows[1][1])
        check(rows[2][1:3] == ["-", "0"], "a disabled host shows %r" % rows[2][1:3])

        shot = display.screenshot()
        check(icon_count(shot, rows[0], GREEN_FILL) >= 50, "the replying host's square is not green")
        check(icon_count(shot, rows[1], LOST_FILL) >= 30, "the lost host's square is not grey")
        check(icon_count(shot, rows[2], DISABLED_BORDER) >= 30, "the disabled host's square has no grey border")
        left, top, right, bottom = (int(v) for v in driver("control", CAPTION, 1002)[0].split())
        graph = (left + (right - left) // 2, top + 40, right - 30, bottom - 40)
        check(shot.count(LIVE_BACKGROUND, *graph) > (graph[2] - graph[0]) * (graph[3] - graph[1]) // 3,
              "the graph does not show the live background")
        window = tuple(int(v) for v in driver("rect", CAPTION)[0].split())
        # Kept for a look, and for the README.
        shot.save_png(screenshot_path(), window)
        program.close()

    config = profile.file("config.txt")
    check(config is not None, "closing wrote no config.txt")
    saved = dict(line.split("\t", 1) for line in config.splitlines() if "\t" in line)
    check(saved.get("hosts") == "127.0.0.11;127.0.0.12;127.0.0.13;", "hosts saved as %r" % saved.get("hosts"))
    check(saved.get("active") == "127.0.0.11;127.0.0.12;", "active saved as %r" % saved.get("active"))
    check(re.fullmatch(r"\d+,\d+,\d+,\d+", saved.get("pos", "")), "pos saved as %r" % saved.get("pos"))
    check(saved.get("scale") == "1", "scale saved as %r" % saved.get("scale"))


def screenshot_path():
    folder = os.path.join(REPO, "build", "e2e")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, "main-window.png")


def test_an_empty_profile_starts_with_the_default_host_and_saves_it(display):
    # No script for 8.8.8.8: the stand-in answers as for an unknown host and
    # sends nothing anywhere.
    profile = Profile({})
    with running(profile) as program:
        rows = program.wait_for_rows(lambda rows: len(rows) == 1)
        check(rows[0][0] == "8.8.8.8", "the default host is %r" % rows[0][0])  # listed only; the stand-in pings nothing
        config = profile.file("config.txt") or ""
        check("hosts\t8.8.8.8;\n" in config and "active\t8.8.8.8;\n" in config,
              "the default host was not saved at once: %r" % config)
        program.close()


def test_a_finished_minute_becomes_a_row_of_the_host_data_file(display):
    host = "127.0.0.21"
    profile = Profile({host: "500 Reply from %s: bytes=32 time=7ms TTL=128\nrepeat\n" % host},
                      config="hosts\t%s;\nactive\t%s;\n" % (host, host))
    with running(profile) as program:
        # The first sample writes the minute before it, which had none, as
        # zeros; the minute of the first replies follows at the next boundary.
        deadline = time.time() + 80
        rows = []
        while time.time() < deadline and len(rows) < 2:
            time.sleep(1)
            rows = (profile.file(host + ".txt") or "").splitlines()
        check(len(rows) >= 2, "no row after a minute boundary: %r" % rows)
        program.close()
    opening = rows[0].split("\t")
    check(opening[1:] == ["0"] * 6, "the minute before the first sample is %r" % opening)
    fields = rows[1].split("\t")
    check(re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:00", fields[0]), "the row's date is %r" % fields[0])
    count = int(fields[1])
    check(1 <= count <= 120, "a minute of replies twice a second counted %d" % count)
    check(fields[2:] == ["7", "7", "7", "0", "0"], "average, minimum, maximum, drops, disconnects: %r" % fields[2:])
