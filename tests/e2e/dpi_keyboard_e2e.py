"""tarnlet.exe without a mouse, and at 144 and 192 DPI.

The keyboard check drives the window with xdotool key presses (X sends them
to the window under the pointer, which is kept over tarnlet's window) and
reads where the focus is with the window driver. The DPI check starts
tarnlet.exe in a copy of the test prefix whose system DPI is set with
`HKCU\\Control Panel\\Desktop` LogPixels before each start, and compares the
window, the list's rows, the status image, the graph's legend cell, the
title's text and the update notice (a loopback site offers a newer release)
with those at 96 DPI."""

import os
import subprocess
import time

from harness import (CAPTION, REPO, Profile, VersionSite, check, copy_of_the_test_prefix, driver, running, wait_until,
                     wine)

GREEN_FILL = (203, 255, 137)
FAST = (160, 208, 112)
LIVE_BACKGROUND = (112, 128, 160)
PAST_BACKGROUND = (128, 128, 128)
NOTICE_ICON, NOTICE_TEXT, NOTICE_CLOSE = 1011, 1010, 1007
BLACK = (0, 0, 0)


def replies(host, milliseconds):
    return "500 Reply from %s: bytes=32 time=%dms TTL=128\nrepeat\n" % (host, milliseconds)


def key(*names):
    subprocess.run(["xdotool", "key", "--delay", "80"] + list(names), check=True)
    time.sleep(0.4)


def focus():
    lines = driver("focus", CAPTION)
    return lines[0] if lines else ""


def wait_for_focus(wanted):
    check(wait_until(lambda: focus() == wanted, 5), "the focus is on %r, not %r" % (focus(), wanted))


def rect(*arguments):
    lines = driver(*arguments)
    return tuple(int(v) for v in lines[0].split()) if lines else None


def graph_rect():
    """The graph: the right pane of the splitter, right of the list."""
    left, top, right, bottom = rect("control", CAPTION, 1002)
    list_right = rect("control", CAPTION, 1004)[2]
    return list_right, top, right, bottom


def background_share(shot, colour, box):
    left, top, right, bottom = box
    inner = (left + (right - left) // 2, top + (bottom - top) // 3, right - 30, bottom - (bottom - top) // 3)
    area = (inner[2] - inner[0]) * (inner[3] - inner[1])
    return shot.count(colour, *inner) / max(area, 1)


def old_history(profile, host):
    """A minute three hours ago in the host's data file, so that Home has
    somewhere to go."""
    moment = time.strftime("%Y-%m-%d %H:%M:00", time.localtime(time.time() - 3 * 3600))
    with open(os.path.join(profile.data, host + ".txt"), "w", newline="") as file:
        file.write("%s\t60\t5\t5\t5\t0\t0\n" % moment)


def test_every_command_is_reachable_from_the_keyboard(display):
    first, second = "127.0.0.31", "127.0.0.32"
    profile = Profile({first: replies(first, 5), second: replies(second, 5)},
                      config="hosts\t%s;%s;\nactive\t%s;%s;\n" % (first, second, first, second))
    old_history(profile, first)
    with running(profile) as program:
        program.wait_for_rows(lambda rows: len(rows) == 2 and rows[0][2] == "5")
        # A click on the graph gives it the focus; the pointer stays over
        # the window, so that the keys come to it.
        graph = graph_rect()
        subprocess.run(["xdotool", "mousemove", str(graph[2] - 40), str(graph[3] - 60), "click", "1"], check=True)
        wait_for_focus("0 TarnletPingView")

        key("Home")
        check(wait_until(lambda: background_share(display.screenshot(), PAST_BACKGROUND, graph) > 0.3, 5),
              "Home did not scroll the graph to the oldest page")
        key("End")
        check(wait_until(lambda: background_share(display.screenshot(), LIVE_BACKGROUND, graph) > 0.3, 5),
              "End did not bring the graph back to live")

        # Reading order: the row of controls, then the list, then the graph.
        for wanted in ("1001 Button", "1100 Button", "1006 ComboBox", "1003 Button", "1004 SysListView32",
                       "0 TarnletPingView"):
            key("Tab")
            wait_for_focus(wanted)
        key("shift+Tab")
        wait_for_focus("1004 SysListView32")

        # Space turns the chosen host off and on again.
        key("Home")
        key("space")
        program.wait_for_rows(lambda rows: rows[0][2] == "0", timeout=5)
        key("space")
        program.wait_for_rows(lambda rows: rows[0][2] != "0", timeout=10)

        key("shift+F10")
        check(driver("menu"), "Shift+F10 showed no context menu")
        key("Escape")
        check(wait_until(lambda: not driver("menu"), 5), "Escape left the context menu open")

        # Delete asks first; No keeps the host, Yes removes it.
        key("Delete")
        check(rect("rect", "Remove Host"), "Delete asked nothing")
        key("n")
        check(wait_until(lambda: not driver("shown", "Remove Host"), 15), "No left the question open")
        check(len(program.rows()) == 2, "No removed the host")
        key("Delete")
        check(rect("rect", "Remove Host"), "Delete asked nothing the second time")
        key("Return")
        rows = program.wait_for_rows(lambda rows: len(rows) == 1, timeout=10)
        check(rows[0][0] == second, "Delete removed the wrong host: %r" % rows)

        key("ctrl+n")
        check(rect("rect", "Add Address"), "Ctrl+N did not open Add Address")
        subprocess.run(["xdotool", "type", "--delay", "50", "127.0.0.33"], check=True)
        key("Return")
        program.wait_for_rows(lambda rows: [row[0] for row in rows] == [second, "127.0.0.33"], timeout=10)
        program.close()


def set_system_dpi(dpi):
    result = wine(["reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                   "/f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    check(result.returncode == 0, "LogPixels could not be set")


def text_height(shot, box):
    """The rows of box that hold the title's white text."""
    left, top, right, bottom = box
    rows = [y for y in range(top, bottom)
            if any(min(shot.pixel(x, y)) >= 200 for x in range(left, right))]
    return rows[-1] - rows[0] + 1 if rows else 0


def size_of(box):
    return box[2] - box[0], box[3] - box[1]


def measure(dpi, display):
    """The window at the prefix's DPI: what the driver and a screenshot say."""
    set_system_dpi(dpi)
    fast, lost = "127.0.0.41", "127.0.0.42"
    profile = Profile({fast: replies(fast, 5), lost: "500 Request timed out.\nrepeat\n"},
                      config="hosts\t%s;%s;\nactive\t%s;%s;\n" % (fast, lost, fast, lost))
    site = VersionSite("99.0\n")
    try:
        with running(profile, update_url=site.url) as program:
            rows = program.wait_for_rows(lambda rows: len(rows) == 2 and rows[0][2] == "5" and rows[1][2] == "6")
            check(wait_until(lambda: driver("visible", CAPTION, NOTICE_TEXT) == ["1"], 15),
                  "no update notice at %d DPI" % dpi)
            left, top, right, bottom = rect("rect", CAPTION)
            icon = [int(v) for v in rows[0][3].split()]
            graph = graph_rect()
            close = rect("control", CAPTION, NOTICE_CLOSE)
            time.sleep(1.5)
            notice_shot = display.screenshot()
            # The notice covers the legend: its cross, clicked, hides it.
            subprocess.run(["xdotool", "mousemove", str((close[0] + close[2]) // 2), str((close[1] + close[3]) // 2),
                            "click", "1"], check=True)
            check(wait_until(lambda: driver("visible", CAPTION, NOTICE_TEXT) == ["0"], 5),
                  "a click on the cross left the notice shown at %d DPI" % dpi)
            time.sleep(1.5)
            shot = display.screenshot()
            scale = dpi / 96
            measured = {
                "window": (right - left, bottom - top),
                "row": int(rows[1][3].split()[1]) - icon[1],
                "icon": icon[2] - icon[0],
                "green": shot.count(GREEN_FILL, *icon),
                "legend": shot.count(FAST, graph[2] - round(120 * scale), graph[1],
                                     graph[2], graph[1] + round(22 * scale)),
                "title": text_height(shot, (graph[0] + round(20 * scale), graph[1] + 2,
                                            graph[0] + round(70 * scale), graph[1] + round(24 * scale))),
                "notice": size_of(rect("control", CAPTION, NOTICE_TEXT)),
                "notice icon": size_of(rect("control", CAPTION, NOTICE_ICON)),
                "close": size_of(close),
                # The cross is the only black in the button: its edges are greys and white.
                "cross": notice_shot.count(BLACK, *close),
            }
            shot.save_png(os.path.join(REPO, "build", "e2e", "dpi-%d.png" % dpi), (left, top, right, bottom))
            program.close()
    finally:
        site.close()
    saved = dict(line.split("\t", 1) for line in (profile.file("config.txt") or "").splitlines() if "\t" in line)
    measured["pos"] = tuple(int(v) for v in saved.get("pos", "0,0,0,0").split(","))
    measured["dpi"] = dpi
    print("dpi %(dpi)d: window %(window)s, row height %(row)d, status image %(icon)d px "
          "(%(green)d fill pixels), legend cell %(legend)d pixels, title %(title)d px high, saved pos %(pos)s, "
          "notice %(notice)s, its icon %(notice icon)s, close button %(close)s with %(cross)d cross pixels"
          % measured, flush=True)
    return measured


def test_at_144_and_192_dpi_the_window_is_its_96_dpi_self_scaled(display):
    os.makedirs(os.path.join(REPO, "build", "e2e"), exist_ok=True)
    # A prefix of the check's own: its system DPI is changed.
    with copy_of_the_test_prefix("dpi"):
        at = {dpi: measure(dpi, display) for dpi in (96, 144, 192)}
    base = at[96]
    check(base["icon"] == 16 and base["green"] == 144 and base["legend"] == 64 and base["cross"] == 36,
          "at 96 DPI the window is not as it always was: %r" % base)
    for dpi in (144, 192):
        scale = dpi / 96
        got = at[dpi]
        size = round(16 * scale)
        border = (size + 8) // 16
        check(got["icon"] == size, "the status image is %d px at %d DPI, not %d" % (got["icon"], dpi, size))
        check(got["green"] == (size - 4 * border) ** 2,
              "the status image's fill at %d DPI is %d pixels, not drawn for its size" % (dpi, got["green"]))
        # The size is saved as it is at 96 DPI, so another scaling keeps it.
        for axis in (0, 1):
            check(abs(got["pos"][2 + axis] - got["window"][axis] / scale) <= 1,
                  "pos saved as %r for a window of %r at %d DPI" % (got["pos"], got["window"], dpi))
        check(got["legend"] == round(8 * scale) ** 2,
              "the legend cell at %d DPI is %d pixels, not %d" % (dpi, got["legend"], round(8 * scale) ** 2))
        for axis in (0, 1):
            ratio = got["window"][axis] / base["window"][axis]
            check(abs(ratio - scale) <= 0.1 * scale,
                  "the window at %d DPI is %r, %r at 96" % (dpi, got["window"], base["window"]))
        check(got["row"] >= size and abs(got["row"] / base["row"] - scale) <= 0.2 * scale,
              "rows are %d px high at %d DPI, %d at 96" % (got["row"], dpi, base["row"]))
        # Text made at the new size, not a 96-DPI bitmap stretched: taller
        # by the scale, with edges as sharp as at 96 (white pixels present).
        check(got["title"] > 0 and abs(got["title"] / base["title"] - scale) <= 0.25 * scale,
              "the title is %d px high at %d DPI, %d at 96" % (got["title"], dpi, base["title"]))
        # The notice: its heading's box, its icon and its close button grow
        # with the DPI, and the cross is drawn for the button (a 16-pixel
        # bitmap centred in it would keep its 36 pixels).
        for name in ("notice", "close"):
            for axis in (0, 1):
                check(abs(got[name][axis] - base[name][axis] * scale) <= 0.15 * base[name][axis] * scale + 1,
                      "the notice's %s is %r at %d DPI, %r at 96" % (name, got[name], dpi, base[name]))
        check(got["notice icon"] == (2 * size, 2 * size),
              "the notice's icon is %r at %d DPI, not %d px" % (got["notice icon"], dpi, 2 * size))
        check(abs(got["cross"] - base["cross"] * scale * scale) <= 0.2 * base["cross"] * scale * scale,
              "the close cross has %d pixels at %d DPI, %d at 96" % (got["cross"], dpi, base["cross"]))


def notice_now(display):
    close = rect("control", CAPTION, NOTICE_CLOSE)
    return {"notice": size_of(rect("control", CAPTION, NOTICE_TEXT)), "close": size_of(close),
            "notice icon": size_of(rect("control", CAPTION, NOTICE_ICON)),
            "cross": display.screenshot().count(BLACK, *close)}


def corner_gap():
    """From the notice's heading to the graph's right and top edges."""
    notice = rect("control", CAPTION, NOTICE_TEXT)
    graph = graph_rect()
    return graph[2] - notice[2], notice[1] - graph[1]


def test_a_live_change_of_dpi_rescales_the_update_notice(display):
    """Wine moves no window between screens of different DPI, so the change
    a move to a 192-DPI screen brings (WM_DPICHANGED with the suggested
    rectangle in the program's memory) is sent by the window driver."""
    host = "127.0.0.51"
    # In the screen's top left corner, so that the window at twice its size
    # (and the notice in its top right corner) still fits on the screen.
    profile = Profile({host: replies(host, 5)},
                      config="hosts\t%s;\nactive\t%s;\npos\t0,0,549,292\n" % (host, host))
    site = VersionSite("99.0\n")
    try:
        with running(profile, update_url=site.url) as program:
            program.wait_for_rows(lambda rows: len(rows) == 1 and rows[0][2] == "5")
            check(wait_until(lambda: driver("visible", CAPTION, NOTICE_TEXT) == ["1"], 15), "no update notice")
            time.sleep(1)
            before = notice_now(display)
            before_gap = corner_gap()
            window = size_of(rect("rect", CAPTION))
            check(driver("dpi", CAPTION, 192) == [], "the change of DPI could not be sent")
            check(wait_until(lambda: size_of(rect("rect", CAPTION))[0] > 1.8 * window[0], 5),
                  "the window did not take the suggested size")
            time.sleep(1.5)
            after = notice_now(display)
            print("live 96 -> 192 DPI: notice %r -> %r" % (before, after), flush=True)
            for name in ("notice", "close", "notice icon"):
                for axis in (0, 1):
                    check(abs(after[name][axis] - 2 * before[name][axis]) <= 2,
                          "the notice's %s is %r after the change, %r before" % (name, after[name], before[name]))
            check(abs(after["cross"] - 4 * before["cross"]) <= 0.2 * 4 * before["cross"],
                  "the close cross has %d pixels after the change, %d before" % (after["cross"], before["cross"]))
            # Still in the graph's top right corner: as far from its edges
            # as before, in pixels of the new DPI.
            after_gap = corner_gap()
            check(all(abs(after_gap[axis] - 2 * before_gap[axis]) <= 4 for axis in (0, 1)),
                  "the notice's heading is %r from the graph's top right corner, %r before" % (after_gap, before_gap))
            program.close()
    finally:
        site.close()
