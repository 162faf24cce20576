"""The notification-area icon as a user meets it: started with Windows
(--minimized) only the icon shows; its colour follows the host; a click
brings the window, minimizing hides it again; its menu's checks are saved
and Start with Windows writes the Run value."""

import subprocess

from harness import CAPTION, Profile, check, driver, running, wait_until, wine

GREEN_FILL = (203, 255, 137)
LOST_FILL = (128, 128, 128)
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
# The icon menu's Start with Windows, as resources/resource.h has it.
ID_TRAY_AUTOSTART = 40104


def script(host):
    """Replies for 8 s, no reply for 16 s, replies again."""
    reply = "500 Reply from %s: bytes=32 time=5ms TTL=128\n" % host
    return reply * 16 + "500 Request timed out.\n" * 32 + reply + "repeat\n"


def icon_pixels(display, colour):
    left, top, right, bottom = (int(v) for v in driver("tray")[0].split())
    return display.screenshot().count(colour, left, top, right, bottom)


def shown():
    return driver("shown", CAPTION) == ["1 0"]


def click_icon(button):
    left, top, right, bottom = (int(v) for v in driver("tray")[0].split())
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", str(button)],
                   check=True)


def run_value():
    result = wine(["reg", "query", RUN_KEY, "/v", "tarnlet"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if result.returncode != 0:
        return None
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        fields = line.split(None, 2)
        if len(fields) == 3 and fields[0] == "tarnlet":
            return fields[2].strip()
    return None


def saved(profile, key):
    lines = [line.split("\t", 1) for line in (profile.file("config.txt") or "").splitlines() if "\t" in line]
    values = [value for name, value in lines if name == key]
    return values[-1] if values else None


def test_started_minimized_only_the_icon_shows_and_follows_the_host(display):
    host = "127.0.0.41"
    profile = Profile({host: script(host)}, config="hosts\t%s;\nactive\t%s;\n" % (host, host))
    with running(profile, ["--minimized", "--log"]) as program:
        check(driver("tray"), "no icon in the notification area")
        check(driver("shown", CAPTION) == ["0 0"], "the window shows at a minimized start: %r" % driver("shown", CAPTION))
        check(wait_until(lambda: icon_pixels(display, GREEN_FILL) >= 30, 20), "the icon never turned green")
        check(wait_until(lambda: icon_pixels(display, LOST_FILL) >= 20, 20), "the icon never showed no reply")
        # The host down for ten seconds is told, and the log says what was shown.
        check(wait_until(lambda: "Notification: %s is not answering: No reply since" % host
                         in (profile.file("tarnlet.log") or ""), 20),
              "no notification of the host that stopped answering")
        check(wait_until(lambda: icon_pixels(display, GREEN_FILL) >= 30, 20), "the icon did not turn green again")

        click_icon(1)
        check(wait_until(shown, 10), "a click on the icon did not bring the window")
        place = driver("rect", CAPTION)
        driver("minimize", CAPTION)
        check(wait_until(lambda: driver("shown", CAPTION) == ["0 1"], 10),
              "minimizing did not hide the window: %r" % driver("shown", CAPTION))
        click_icon(1)
        check(wait_until(shown, 10), "a click did not bring the minimized window back")
        check(driver("rect", CAPTION) == place, "the window came back at %r, not %r" % (driver("rect", CAPTION), place))
        program.close()
    check(saved(profile, "tray") == "1", "the default tray choice was saved as %r" % saved(profile, "tray"))


def test_the_icon_menu_turns_start_with_windows_on_and_off(display):
    host = "127.0.0.42"
    profile = Profile({host: "500 Reply from %s: bytes=32 time=5ms TTL=128\nrepeat\n" % host},
                      config="hosts\t%s;\nactive\t%s;\n" % (host, host))
    with running(profile) as program:
        check(run_value() is None, "a Run value before the setting was turned on")
        check(wait_until(lambda: driver("tray"), 10), "no icon in the notification area")
        # A right click asks for the menu, as the shell tells it. On Windows the
        # program takes the foreground before it opens the menu, as it must for
        # the menu to close on a click elsewhere; Wine 8 then closes the menu
        # as it opens. So the menu's command is sent as the menu sends it.
        click_icon(3)
        driver("command", CAPTION, ID_TRAY_AUTOSTART)
        turned_on = wait_until(lambda: saved(profile, "autostart") == "1", 5)
        check(turned_on, "Start with Windows was not saved: %r" % saved(profile, "autostart"))
        value = run_value()
        check(value is not None and value.endswith("\\tarnlet\\tarnlet.exe\" --minimized") and value.startswith('"'),
              "the Run value is %r" % value)
        driver("command", CAPTION, ID_TRAY_AUTOSTART)
        check(wait_until(lambda: saved(profile, "autostart") == "0", 5), "turning it off was not saved")
        check(wait_until(lambda: run_value() is None, 5), "the Run value stayed: %r" % run_value())
        program.close()
