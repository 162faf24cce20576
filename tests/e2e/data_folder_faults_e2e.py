"""What tarnlet.exe keeps when its data folder fails under it while a host is
pinged: the folder deleted, replaced by a file, made read-only, run full, or
the host's data file held by another Windows process. Rows come once a
minute, so the faults run side by side, each in a copy of the test prefix and
a process of its own; each report says which minutes were lost."""

import contextlib
import multiprocessing
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import metrics_e2e
from harness import (BUILD, WINE_RUN, Profile, check, copy_of_the_test_prefix, driver, launch, next_minute, running,
                     sleep_until, unmount, wait_until, windows_path)

HOLD_FILE = os.path.join(BUILD, "tools", "hold-file.exe")
# The data files' retry delay after a failed open or write.
RETRY_DELAY = 60
ROW = re.compile(r"^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})(\t-?\d+){6}$")


def replies(host, milliseconds):
    return "500 Reply from %s: bytes=32 time=%dms TTL=128\nrepeat\n" % (host, milliseconds)


def mount(*arguments):
    return subprocess.run(["mount"] + list(arguments), stderr=subprocess.DEVNULL).returncode == 0


def read_only(folder):
    """A read-only mount over folder: the refusal holds for root too, which
    ignores file permissions."""
    return mount("--bind", folder, folder) and mount("-o", "remount,bind,ro", folder)


class DataFile:
    """A host's data file as the Linux side reads it."""

    def __init__(self, path):
        self.path = path
        self.frozen = None

    def freeze(self):
        """Keeps the lines of now for the checks, as a mount over the folder
        goes with what it holds."""
        self.frozen = self.lines()

    def lines(self):
        if self.frozen is not None:
            return self.frozen
        try:
            with open(self.path, "rb") as file:
                return file.read().decode("latin-1").split("\n")
        except OSError:
            return [""]

    def minutes(self):
        """The start of every whole row, in seconds since the epoch."""
        return [time.mktime(time.strptime(ROW.match(line).group(1), "%Y-%m-%d %H:%M:%S"))
                for line in self.lines() if ROW.match(line)]

    def broken_lines(self):
        lines = self.lines()
        return [line for line in lines[:-1] if not ROW.match(line)] + ([lines[-1]] if lines[-1] else [])


class Holder:
    """hold-file.exe keeping path open for writing from a Windows process of
    its own, letting others only read."""

    def __init__(self, path):
        self.signals = tempfile.mkdtemp(prefix="tarnlet-e2e-hold-")
        self.process = subprocess.Popen([WINE_RUN, HOLD_FILE, windows_path(path), windows_path(self.signals)],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.held = wait_until(lambda: os.path.exists(os.path.join(self.signals, "held")), 60)

    def release(self):
        open(os.path.join(self.signals, "release"), "w").close()
        check(self.process.wait(30) == 0, "hold-file did not end cleanly")

    def close(self):
        with contextlib.suppress(Exception):
            self.release()
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        shutil.rmtree(self.signals, ignore_errors=True)


class Fault:
    """One way for the data folder to fail. `starts_at_once` faults are made
    before tarnlet starts, the others after its first row."""

    starts_at_once = False
    # Rows may be lost while the fault lasts and for a retry delay after.
    may_lose_rows = True
    # The rows from before the fault stay in the file.
    keeps_earlier_rows = True
    prefilled = ""

    def __init__(self, name, host):
        self.name, self.host = name, host

    def prepare(self, profile):
        """False when the machine does not allow the fault."""
        return True

    def make(self, profile):
        pass

    def mend(self, profile):
        pass

    def cleanup(self, profile):
        pass


class FolderDeleted(Fault):
    may_lose_rows = False
    keeps_earlier_rows = False

    def make(self, profile):
        shutil.rmtree(profile.data)


class FolderReplacedByAFile(Fault):
    def make(self, profile):
        shutil.rmtree(profile.data)
        with open(profile.data, "w") as file:
            file.write("not a folder")

    def mend(self, profile):
        os.remove(profile.data)


class FolderReadOnly(Fault):
    """A read-only mount over the folder, made while the host's file is open:
    the open file takes its rows as before, as an open file does on Windows
    when its folder's permissions change."""

    may_lose_rows = False

    def make(self, profile):
        check(read_only(profile.data), "no read-only mount")

    def mend(self, profile):
        unmount(profile.data)

    def cleanup(self, profile):
        unmount(profile.data)


class FolderReadOnlyFromTheStart(FolderReadOnly):
    """The folder read-only before tarnlet starts: config.txt is only read,
    and no data file can be opened until the mount goes."""

    starts_at_once = True
    may_lose_rows = True

    def prepare(self, profile):
        return read_only(profile.data)


class DiskFull(Fault):
    """A small file system as the data folder, the host's file a few bytes
    short of a full page, so that the first row after the filler takes the
    last free page runs out of room in its middle."""

    # 123 rows of 33 bytes: a page of 4096 keeps 5 bytes after the first
    # row of the run (32 bytes), and the next row needs 33 or 34.
    prefilled = "".join("2023-11-14 %02d:%02d:00\t60\t5\t4\t6\t0\t0\n" % (m // 60, m % 60) for m in range(123))

    def prepare(self, profile):
        if not mount("-t", "tmpfs", "-o", "size=16k", "tarnlet-e2e", profile.data):
            return False
        with open(os.path.join(profile.data, "config.txt"), "w") as file:
            file.write("hosts\t%s;\nactive\t%s;\n" % (self.host, self.host))
        with open(os.path.join(profile.data, self.host + ".txt"), "w") as file:
            file.write(self.prefilled)
        return True

    def make(self, profile):
        with open(os.path.join(profile.data, "filler"), "wb", buffering=0) as filler:
            with contextlib.suppress(OSError):
                while True:
                    filler.write(b"f" * 4096)

    def mend(self, profile):
        os.remove(os.path.join(profile.data, "filler"))

    def cleanup(self, profile):
        unmount(profile.data)


class FileHeldByAnotherProcess(Fault):
    """hold-file.exe, a Windows process of its own, keeps the host's file
    open for writing with only reading shared, from before tarnlet starts."""

    starts_at_once = True

    def prepare(self, profile):
        self.holder = Holder(os.path.join(profile.data, self.host + ".txt"))
        return self.holder.held

    def mend(self, profile):
        self.holder.release()

    def cleanup(self, profile):
        self.holder.close()


FAULTS = [
    FolderDeleted("the data folder deleted", "127.0.0.61"),
    FolderReplacedByAFile("the data folder replaced by a file", "127.0.0.62"),
    FolderReadOnly("the data folder made read-only", "127.0.0.63"),
    FolderReadOnlyFromTheStart("the data folder read-only from the start", "127.0.0.67"),
    DiskFull("the disk full", "127.0.0.64"),
    FileHeldByAnotherProcess("the data file held by another process", "127.0.0.65"),
]


def live(fault):
    """Runs one fault in a process of its own; returns its report line, or
    raises with what went wrong."""
    with copy_of_the_test_prefix(fault.name):
        profile = Profile({fault.host: replies(fault.host, 5)},
                          config="hosts\t%s;\nactive\t%s;\n" % (fault.host, fault.host))
        data = DataFile(os.path.join(profile.data, fault.host + ".txt"))
        if not fault.prepare(profile):
            profile.close()
            return "skipped: the machine does not allow the mount it needs"
        try:
            with running(profile) as program:
                started = time.time()
                this_run = lambda: [m for m in data.minutes() if m >= next_minute(started) - 120]
                if fault.starts_at_once:
                    made = started
                else:
                    check(wait_until(this_run, 30), "no row before the fault: %r" % data.lines()[-3:])
                    fault.make(profile)
                    made = time.time()
                # The fault must see a row through: the first sample of the
                # next minute writes one.
                sleep_until(next_minute(made + 1) + 8)
                # The user sees the host pinged as before.
                program.wait_for_rows(lambda rows: rows and rows[0][1] == "5")
                fault.mend(profile)
                mended = time.time()
                # Writing resumes by itself: the first minute boundary a retry
                # delay after the last failed write writes a row. That write
                # can fail just after the fault went (a full disk reports a
                # write at its completion), so one boundary more is allowed.
                resumed = lambda: any(m >= mended - 60 for m in data.minutes())
                check(wait_until(resumed, next_minute(mended + 2 * RETRY_DELAY) + 10 - time.time()),
                      "no row came after the fault went: %r" % data.lines()[-5:])
                resumed_after = time.time() - mended
                program.close()
        finally:
            data.freeze()
            fault.cleanup(profile)
        check(not data.broken_lines(), "cut or broken rows in the file: %r" % data.broken_lines()[:3])
        check("".join(line + "\n" for line in data.lines()[:-1]).startswith(fault.prefilled),
              "rows written before the start were changed")
        minutes = this_run()
        check(minutes == sorted(set(minutes)), "rows out of order or twice: %r" % minutes)
        # The minute of the start (or of the deletion) has a row, zeros at
        # worst, unless the fault took it.
        first = next_minute(started if fault.keeps_earlier_rows else made) - 60
        lost = [m for m in range(first, int(minutes[-1]), 60) if m not in minutes]
        if fault.may_lose_rows:
            outside = [m for m in lost if not made - 60 <= m < mended + RETRY_DELAY]
            check(not outside, "rows lost outside the fault and its retry delay: %r" % outside)
        else:
            check(not lost, "rows lost: %r" % lost)
        return "lasted %.0f s, %d row(s) lost, writing resumed %.0f s after it went" % (
            mended - made, len(lost), resumed_after)


def report(fault):
    try:
        return fault.name, live(fault), None
    except Exception as error:  # reported to the parent, which fails the check
        return fault.name, None, "%s: %s" % (type(error).__name__, error)


def test_data_folder_faults_lose_rows_only_while_they_last(display):
    # The Prometheus check waits for minute boundaries too: it runs in the
    # same pool, so that the suite waits for them once, and reports itself.
    with multiprocessing.get_context("fork").Pool(len(FAULTS) + 1) as pool:
        prometheus = pool.apply_async(metrics_e2e.prometheus_report)
        results = pool.map(report, FAULTS)
        metrics_e2e.beside["prometheus"] = prometheus.get()
    for name, outcome, failure in results:
        print("e2e:   %s: %s" % (name, outcome or "FAILED " + failure), flush=True)
    failures = [name for name, _, failure in results if failure]
    check(not failures, "failed: %s" % ", ".join(failures))


def test_a_config_held_at_start_ends_in_the_timeout_message(display):
    host = "127.0.0.66"
    config = "hosts\t%s;\nactive\t%s;\n" % (host, host)
    profile = Profile({host: replies(host, 5)}, config=config)
    holder = Holder(os.path.join(profile.data, "config.txt"))
    program = None
    try:
        check(holder.held, "hold-file could not hold config.txt")
        program = launch(profile)
        started = time.time()
        message = "An error occured: The operation timed out"
        check(wait_until(lambda: message in driver("text", "Oops!"), 40), "no time-out message")
        print("e2e:   the message came %.1f s after the start" % (time.time() - started), flush=True)
        driver("close", "Oops!")
        check(wait_until(lambda: program.poll() is not None, 20), "tarnlet did not end after the message")
    finally:
        if program and program.poll() is None:
            os.killpg(program.pid, signal.SIGKILL)
        holder.close()
        profile.close()
    check(profile.file("config.txt") == config, "config.txt was changed")
