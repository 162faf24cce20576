"""How often an idle tarnlet.exe wakes under Wine: one listed host that is not
pinged, nothing else to do. Prints "name: value" lines:
  - pump_wakes_per_s and pump_wakes_<cause>_per_s: how often the window
    thread's sleep in the system ended, by cause (input: a message or other
    input; post: a post from another thread; due: a posted task fell due;
    deadline: the pump's own deadline), as the program counts them and logs at
    exit; the idle part alone, from two runs of different lengths, once with
    the window shown and once started minimized (minimized_pump_...);
  - window_thread_wakeups_per_s: the window thread's (the process's first
    thread's) sleeps that ended, counted as pauses of at least 2 ms between
    its system calls, traced with strace; a wake-up does a burst of calls,
    most of them round trips to the Wine server, so the calls themselves
    would count every round trip as a wake-up;
  - window_thread_wakeups_from_idle_per_s: the same for pauses of at least
    20 ms, the thread idle rather than waiting on a server's answer;
  - *_switches_per_s: voluntary context switches of the window thread and
    of the whole process, which do count every round trip.
The strace and switch figures are of the shown window only.

  idle_wakeups.py [--seconds N] [--program PATH]
"""
import argparse
import os
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))

import harness  # noqa: E402
from soak import figure, processes, resident_kib  # noqa: E402

SETTLE_S = 10
PAUSE_S = 0.002
# A pause this long is the thread idle, not waiting on a server's answer.
IDLE_S = 0.02


def traced_wakeups(tid, seconds):
    """Pauses of at least PAUSE_S and of at least IDLE_S between the thread's
    system calls, per second."""
    trace = subprocess.run(["timeout", "-s", "INT", str(seconds), "strace", "-ttt", "-p", str(tid)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    stamps = []
    for line in trace.stderr.splitlines():
        field = line.split(" ", 1)[0]
        try:
            stamps.append(float(field))
        except ValueError:
            pass
    if len(stamps) < 2:
        return 0.0, 0.0
    gaps = [b - a for a, b in zip(stamps, stamps[1:])]
    span = stamps[-1] - stamps[0]
    return sum(1 for gap in gaps if gap >= PAUSE_S) / span, sum(1 for gap in gaps if gap >= IDLE_S) / span


def switches(pid):
    """Voluntary context switches of each thread of pid, by thread id."""
    counts = {}
    try:
        threads = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return counts
    for tid in threads:
        try:
            with open("/proc/%d/task/%s/status" % (pid, tid)) as file:
                for line in file:
                    if line.startswith("voluntary_ctxt_switches:"):
                        counts[int(tid)] = int(line.split()[1])
        except OSError:
            pass
    return counts


CAUSES = ("input", "post", "due", "deadline")


def pump_counts(log):
    """(run length in s, {cause: wakes}) from the line the program logs at exit."""
    lines = [line for line in (log or "").splitlines() if "Window thread woke " in line]
    harness.check(lines, "no pump figures in the log")
    head, causes = lines[-1].split(" s: ", 1)
    length = float(head.rsplit(" ", 1)[1])
    counts = {}
    for part in causes.split(", "):
        cause, count = part.split(" ")
        counts[cause] = int(count)
    return length, counts


def idle_run(program_path, arguments, idle):
    """Starts tarnlet.exe idle, calls idle(pid) once it has settled, closes it
    and returns its pump's figures."""
    profile = harness.Profile({}, config="hosts\t127.0.0.1;\nactive\t\n")
    ours = lambda command, environment: harness.windows_path(profile.scripts) in environment  # noqa: E731
    program = harness.Tarnlet(profile, ["--log"] + arguments, program=program_path)
    try:
        pids = processes(lambda command, environment: ours(command, environment)
                         and "tarnlet" in command and "wine-run" not in command)
        sizes = [(resident_kib(pid) or 0, pid) for pid in pids]
        harness.check(sizes, "no tarnlet.exe process found")
        # Off the window (the tray sits top left): a pointer resting on the
        # graph shows its hover box.
        subprocess.run(["xdotool", "mousemove", "1279", "799"], check=True)
        time.sleep(SETTLE_S)
        idle(max(sizes)[1])
        program.close()
        return pump_counts(profile.file("tarnlet.log"))
    finally:
        program.kill()
        profile.close()


def pump_figures(name, program_path, arguments, long_idle):
    """The idle part's wakes a second: a run that only settles is taken from
    one that also idles for long_idle(pid), start and close cancelling out."""
    short_length, short = idle_run(program_path, arguments, lambda pid: None)
    long_length, long = idle_run(program_path, arguments, long_idle)
    span = long_length - short_length
    figure(name + "idle_seconds", span)
    figure(name + "pump_wakes_per_s", (sum(long.values()) - sum(short.values())) / span)
    for cause in CAUSES:
        figure("%spump_wakes_%s_per_s" % (name, cause), (long.get(cause, 0) - short.get(cause, 0)) / span)


def traced(seconds):
    """Switches and strace pauses of the shown window, idle, for seconds each."""
    def idle(pid):
        before = switches(pid)
        started = time.time()
        time.sleep(seconds)
        after = switches(pid)
        span = time.time() - started
        window = after.get(pid, 0) - before.get(pid, 0)
        total = sum(count - before.get(tid, 0) for tid, count in after.items())
        figure("seconds", span)
        figure("threads", len(after))
        figure("window_thread_switches_per_s", window / span)
        figure("process_switches_per_s", total / span)
        wakeups, idle_wakeups = traced_wakeups(pid, seconds)
        figure("window_thread_wakeups_per_s", wakeups)
        figure("window_thread_wakeups_from_idle_per_s", idle_wakeups)
    return idle


def measure(seconds, program_path):
    harness.driver("rect", harness.CAPTION)
    pump_figures("", program_path, [], traced(seconds))
    pump_figures("minimized_", program_path, ["--minimized"], lambda pid: time.sleep(2 * seconds))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--program", default=harness.TARNLET)
    arguments = parser.parse_args()
    display = harness.Display()
    try:
        measure(arguments.seconds, arguments.program)
    finally:
        display.close()


if __name__ == "__main__":
    main()
