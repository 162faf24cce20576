"""The update check against a loopback site: the notice appears for a newer
release only, and failures leave one line in the log and nothing on screen."""

import contextlib
import time

from harness import CAPTION, CLOSED_UPDATE_URL, Profile, Tarnlet, VersionSite, check, driver, wait_until

NOTICE_TEXT = 1010
LIVE_BACKGROUND = (112, 128, 160)
IDLE_HOST = {"127.0.0.31": "hang\n"}
CONFIG = "hosts\t127.0.0.31;\nactive\t127.0.0.31;\n"


@contextlib.contextmanager
def started(update_url):
    profile = Profile(IDLE_HOST, config=CONFIG)
    program = Tarnlet(profile, ["--log"], update_url=update_url)
    try:
        yield program, profile
    finally:
        program.kill()
        profile.close()


def notice_shown():
    return driver("visible", CAPTION, NOTICE_TEXT) == ["1"]


def error_lines(profile):
    return [line for line in (profile.file("tarnlet.log") or "").splitlines() if "\tError: " in line]


def expect_notice(body, expected, display=None):
    site = VersionSite(body)
    try:
        with started(site.url) as (program, profile):
            check(wait_until(lambda: site.requests == 1, 15), "the version file was never asked for")
            if expected:
                check(wait_until(notice_shown, 10), "no notice for a site that says %r" % body)
                if display:
                    check_notice_in_the_graph_corner(display)
            else:
                # The check is done once the answer is in; give the window a moment.
                time.sleep(2)
                check(not notice_shown(), "a notice for a site that says %r" % body)
            check(site.requests == 1, "the version file was asked for %d times" % site.requests)
            check(error_lines(profile) == [], "errors logged: %r" % error_lines(profile))
            program.close()
    finally:
        site.close()


def check_notice_in_the_graph_corner(display):
    left, top, right, bottom = (int(v) for v in driver("control", CAPTION, NOTICE_TEXT)[0].split())
    graph = [int(v) for v in driver("control", CAPTION, 1002)[0].split()]
    check(graph[0] + (graph[2] - graph[0]) // 2 < left and right < graph[2] and top - graph[1] < 40,
          "the notice is not at the graph's top right: %r in %r" % ((left, top, right, bottom), graph))
    shot = display.screenshot()
    check(shot.count(LIVE_BACKGROUND, left, top, right, bottom) == 0, "the notice is not drawn over the graph")


def test_a_newer_release_shows_the_notice_in_the_graph_corner(display):
    expect_notice("1.2\n", True, display)


def test_newer_majors_and_two_digit_minors_show_the_notice(display):
    for body in ("2.0", "latest: 1.10 (stable)"):
        expect_notice(body, True)


def test_this_or_an_older_release_or_no_number_shows_nothing(display):
    for body in ("1.1", "1.0", "0.9", "no version here"):
        expect_notice(body, False)


def expect_one_error(update_url, site, message=None, after=None):
    with started(update_url) as (program, profile):
        asked = time.time()
        if site:
            check(wait_until(lambda: site.requests == 1, 15), "the version file was never asked for")
            asked = time.time()
        check(wait_until(lambda: error_lines(profile), 15), "no error line in the log")
        waited = time.time() - asked
        time.sleep(1.5)
        lines = error_lines(profile)
        check(len(lines) == 1, "error lines: %r" % lines)
        if message:
            check(lines[0].endswith("\tError: " + message), "the error line is %r" % lines[0])
        if after:
            check(waited >= after, "the check gave up after %.1f s" % waited)
        check(not notice_shown(), "a notice after a failed check")
        program.close()


def test_a_missing_version_file_logs_one_error(display):
    site = VersionSite(None)
    try:
        expect_one_error(site.url, site, "Not Found")
    finally:
        site.close()


def test_a_closed_port_logs_one_error(display):
    expect_one_error(CLOSED_UPDATE_URL, None)


def test_a_site_that_never_answers_times_out(display):
    site = VersionSite(answer=False)
    try:
        expect_one_error(site.url, site, "The operation timed out", after=2.5)
    finally:
        site.close()
