"""start-bench: how much ten host-years of data files hold up tarnlet.exe's
start under Wine. Starts the program on a clean profile whose ten hosts are
all disabled (so nothing pings and the picture settles), at the 24-hour
scale with no host selected (the all-hosts graph), once with no data files
and once with a year of minute rows for each host, and times each start up
to the first screenshot from which the screen no longer changes: the window
painted with everything it will show. Prints "name: value" figures:

  start_none_s, start_10_host_years_s   median seconds of --runs starts each
  start_10_host_years_ratio             the second over the first (target <= 1.5)
  machine_load_average

Not part of the tests: it prints figures, it asserts nothing.

  python3 bench/start_bench.py [--runs N]     (after scripts/build windows)
"""

import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))

import harness  # noqa: E402

HOSTS = ["127.0.0.%d" % i for i in range(1, 11)]
YEAR_ROWS = 525600
# The screen unchanged this long after the window appeared: it has settled.
SETTLED_S = 6.0
LONGEST_S = 60.0


def write_year(path):
    """A year of rows ending at today's local midnight, as the writer makes them."""
    now = time.localtime()
    midnight = time.mktime((now.tm_year, now.tm_mon, now.tm_mday, 0, 0, 0, 0, 0, -1))
    first = int(midnight) - YEAR_ROWS * 60
    seed = 12345
    lines = []
    for i in range(YEAR_ROWS):
        seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
        minimum = 5 + (seed >> 8) % 20
        seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
        maximum = minimum + (seed >> 8) % 200
        stamp = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(first + i * 60))
        lines.append("%s\t%d\t%d\t%d\t%d\t%d\t%d\n" % (stamp, 55 + i % 6, minimum + (maximum - minimum) // 3,
                                                      minimum, maximum, 1 if i % 8 == 0 else 0,
                                                      1 if i % 200 == 0 else 0))
    with open(path, "w", newline="") as file:
        file.writelines(lines)


def graph_hash(area):
    """A digest of the graph's pixels: the host list's edit caret blinks."""
    shot = harness.Screenshot(
        subprocess.run(["xwd", "-root", "-silent"], check=True, stdout=subprocess.PIPE).stdout)
    left, top, right, bottom = area
    digest = hashlib.sha1()
    for y in range(top, bottom):
        start = y * shot.bytes_per_line
        digest.update(shot.pixels[start + left * shot.bytes_per_pixel:start + right * shot.bytes_per_pixel])
    return digest.hexdigest()


def graph_area():
    """The graph: the right half of the splitter, as the window checks take it."""
    found = harness.driver("control", harness.CAPTION, 1002)
    harness.check(bool(found), "no splitter found")
    left, top, right, bottom = (int(v) for v in found[0].split())
    return left + (right - left) // 2, top + 40, right - 30, bottom - 40


def start_once(year, area=None):
    """Seconds from the start to the first screenshot of the graph as it
    settles; without an area, the graph's area found on the way."""
    config = "hosts\t%s\nactive\t\nscale\t86400\n" % "".join(host + ";" for host in HOSTS)
    profile = harness.Profile({}, config=config)
    if year:
        for host in HOSTS:
            shutil.copyfile(year, os.path.join(profile.data, host + ".txt"))
    started = time.time()
    process = harness.launch(profile)
    try:
        if area is None:
            harness.wait_until(lambda: bool(harness.driver("rect", harness.CAPTION)), 40)
            return graph_area()
        blank = graph_hash(area)
        previous, changed = blank, 0.0
        while time.time() - started < LONGEST_S:
            digest = graph_hash(area)
            moment = time.time() - started
            if digest != previous:
                previous, changed = digest, moment
            if digest != blank and moment - changed > SETTLED_S:
                break
        return changed
    finally:
        harness.driver("close", harness.CAPTION)
        try:
            process.wait(20)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, 9)
            process.wait()
        profile.close()
        # Let the wineserver of this start end, so that every start is alike.
        time.sleep(4)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
    display = harness.Display()
    folder = os.path.join(REPO, "build", "start-bench")
    os.makedirs(folder, exist_ok=True)
    year = os.path.join(folder, "year.txt")
    if not os.path.exists(year):
        write_year(year)
    try:
        # The first start in a prefix pays for making it; it finds the graph.
        area = start_once(None)
        none, loaded = [], []
        for _ in range(options.runs):
            none.append(start_once(None, area))
            loaded.append(start_once(year, area))
    finally:
        display.close()
    print("machine_load_average: %.2f" % os.getloadavg()[0])
    print("start_none_runs_s: %s" % " ".join("%.2f" % s for s in none))
    print("start_10_host_years_runs_s: %s" % " ".join("%.2f" % s for s in loaded))
    print("start_none_s: %.3f" % statistics.median(none))
    print("start_10_host_years_s: %.3f" % statistics.median(loaded))
    ratio = statistics.median(loaded) / statistics.median(none)
    print("start_10_host_years_ratio: %.3f" % ratio)
    print("start_10_host_years_ratio_target: <= 1.5 (%s)" % ("met" if ratio <= 1.5 else "MISSED"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
