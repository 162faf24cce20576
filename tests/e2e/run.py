"""Runs every end-to-end check (test_* functions of tests/e2e/*_e2e.py, or
those named on the command line as module.function) on one Xvfb display,
prints a line per check and the totals, and writes the totals where
scripts/test-summary adds them up."""

import glob
import importlib
import os
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402


def checks(selected):
    for path in sorted(glob.glob(os.path.join(HERE, "*_e2e.py"))):
        module = importlib.import_module(os.path.basename(path)[:-3])
        for name in sorted(n for n in dir(module) if n.startswith("test_")):
            full = "%s.%s" % (module.__name__, name)
            if not selected or full in selected or module.__name__ in selected:
                yield full, getattr(module, name)


def write_results(passed, failed):
    folder = os.path.join(harness.REPO, "build", "e2e", "gtest-results")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "e2e.xml"), "w") as results:
        results.write('<testsuites>\n<testsuite name="e2e" tests="%d" failures="%d" errors="0" skipped="0">\n'
                      '</testsuite>\n</testsuites>\n' % (passed + failed, failed))


def main():
    display = harness.Display()
    passed = failed = 0
    try:
        for name, check in checks(sys.argv[1:]):
            started = time.time()
            try:
                check(display)
                passed += 1
                print("e2e: PASS %s (%.1f s)" % (name, time.time() - started), flush=True)
            except Exception:
                failed += 1
                print("e2e: FAIL %s (%.1f s)" % (name, time.time() - started), flush=True)
                traceback.print_exc()
                shot = os.path.join(harness.REPO, "build", "e2e", name + ".png")
                os.makedirs(os.path.dirname(shot), exist_ok=True)
                display.screenshot().save_png(shot)
                print("e2e: screenshot at %s" % shot, flush=True)
    finally:
        display.close()
    write_results(passed, failed)
    print("e2e: %d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
