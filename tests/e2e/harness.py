"""What every end-to-end check of tarnlet.exe needs: a display, the test Wine
prefix with the ping stand-in, a clean profile, the program started and
closed, screenshots and the window driver.

Nothing here pings or contacts anything: ping.exe is tools/scripted-ping,
which plays scripts, and the update check points at a closed loopback port.
"""

import contextlib
import glob
import http.server
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import threading
import time
import zlib

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.join(REPO, "build", "windows")
WINE_RUN = os.path.join(REPO, "scripts", "wine-run")
TARNLET = os.path.join(BUILD, "program", "tarnlet.exe")
DRIVER = os.path.join(BUILD, "tools", "window-driver.exe")
SCRIPTED_PING = os.path.join(BUILD, "tools", "scripted-ping.exe")
CAPTION = "tarnlet 1.1"
# A loopback port that nothing listens on: the update check fails at once.
CLOSED_UPDATE_URL = "http://127.0.0.1:9/version.txt"


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def windows_path(path):
    """Wine maps Z: to the Linux root."""
    return "Z:" + path.replace("/", "\\")


class Display:
    """An Xvfb screen of its own for the whole run."""

    def __init__(self, width=1280, height=800):
        self.width, self.height = width, height
        self.number = self._free_display()
        self.process = subprocess.Popen(
            ["Xvfb", ":%d" % self.number, "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while not os.path.exists("/tmp/.X11-unix/X%d" % self.number):
            check(time.time() < deadline and self.process.poll() is None, "Xvfb did not start")
            time.sleep(0.1)
        os.environ["DISPLAY"] = ":%d" % self.number

    @staticmethod
    def _free_display():
        for number in range(90, 200):
            if not os.path.exists("/tmp/.X%d-lock" % number):
                return number
        raise CheckFailed("no free X display")

    def close(self):
        self.process.terminate()
        self.process.wait()

    def screenshot(self):
        data = subprocess.run(["xwd", "-root", "-silent"], check=True, stdout=subprocess.PIPE).stdout
        return Screenshot(data)


class Screenshot:
    """The root window as xwd writes it (ZPixmap, 24 or 32 bits a pixel)."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, pixmap_format = fields[0], fields[2]
        self.width, self.height = fields[4], fields[5]
        byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
        self.masks = fields[14:17]
        colours = fields[19]
        check(pixmap_format == 2 and bits_per_pixel in (24, 32), "unexpected xwd format")
        self.bytes_per_pixel = bits_per_pixel // 8
        self.bytes_per_line = bytes_per_line
        self.little_endian = byte_order == 0
        self.pixels = data[header_size + colours * 12:]

    def pixel(self, x, y):
        offset = y * self.bytes_per_line + x * self.bytes_per_pixel
        raw = self.pixels[offset:offset + self.bytes_per_pixel]
        value = int.from_bytes(raw, "little" if self.little_endian else "big")
        return tuple((value & mask) >> (mask & -mask).bit_length() - 1 for mask in self.masks)

    def count(self, colour, left, top, right, bottom):
        return sum(1 for y in range(top, bottom) for x in range(left, right) if self.pixel(x, y) == colour)

    def save_png(self, path, box=None):
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        rows = b"".join(b"\0" + bytes(c for x in range(left, right) for c in self.pixel(x, y))
                        for y in range(top, bottom))

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

        with open(path, "wb") as png:
            png.write(b"\x89PNG\r\n\x1a\n")
            png.write(chunk(b"IHDR", struct.pack(">IIBBBBB", right - left, bottom - top, 8, 2, 0, 0, 0)))
            png.write(chunk(b"IDAT", zlib.compress(rows, 9)))
            png.write(chunk(b"IEND", b""))


def wine(arguments, **options):
    return subprocess.run([WINE_RUN] + arguments, **options)


def driver(*arguments):
    """The window driver's output lines; empty when it found nothing."""
    result = wine([DRIVER] + [str(a) for a in arguments], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                  timeout=60)
    if result.returncode != 0:
        return []
    return result.stdout.decode("utf-8").splitlines()


def prefix():
    """The Wine prefix that scripts/wine-run uses now."""
    return os.environ.get("TARNLET_WINEPREFIX", os.path.join(BUILD, "wineprefix"))


def user_folder():
    users = [u for u in glob.glob(os.path.join(prefix(), "drive_c", "users", "*")) if not u.endswith("Public")]
    check(len(users) == 1, "the prefix has no single user folder")
    return users[0]


def profile_folder():
    return os.path.join(user_folder(), "AppData", "Local", "tarnlet")


class Profile:
    """A clean data folder and ping scripts for one check, the stand-in as
    the prefix's ping.exe."""

    def __init__(self, scripts, config=None):
        self.data = profile_folder()
        shutil.rmtree(self.data, ignore_errors=True)
        if config is not None:
            os.makedirs(self.data)
            with open(os.path.join(self.data, "config.txt"), "w", newline="") as file:
                file.write(config)
        self.scripts = tempfile.mkdtemp(prefix="tarnlet-e2e-scripts-")
        for host, script in scripts.items():
            with open(os.path.join(self.scripts, host + ".txt"), "w", newline="") as file:
                file.write(script)
        system32 = os.path.join(prefix(), "drive_c", "windows", "system32")
        shutil.copyfile(SCRIPTED_PING, os.path.join(system32, "ping.exe"))

    def file(self, name):
        path = os.path.join(self.data, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as file:
            return file.read().decode("utf-8", "replace")

    def close(self):
        shutil.rmtree(self.scripts, ignore_errors=True)


def launch(profile, arguments=(), update_url=CLOSED_UPDATE_URL, program=TARNLET, install=False):
    """tarnlet.exe started on profile in a session of its own; returns at once."""
    environment = dict(os.environ, TARNLET_PING_SCRIPTS=windows_path(profile.scripts))
    flags = [] if install else ["--noInstall"]
    return subprocess.Popen(
        [WINE_RUN, program] + flags + ["--updateUrl=" + update_url] + list(arguments),
        env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)


class Tarnlet:
    """tarnlet.exe running in the test prefix until closed like a user would."""

    def __init__(self, profile, arguments=(), update_url=CLOSED_UPDATE_URL, program=TARNLET, install=False):
        self.process = launch(profile, arguments, update_url, program, install)
        # The first start in a fresh prefix takes Wine a while.
        deadline = time.time() + 40
        while not driver("rect", CAPTION):
            if time.time() > deadline or self.process.poll() is not None:
                self.kill()
                raise CheckFailed("the main window did not appear")

    def close(self, timeout=20):
        driver("close", CAPTION)
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise CheckFailed("tarnlet did not end within %d s of closing its window" % timeout)

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()

    @staticmethod
    def rows():
        return [row.split("\t") for row in driver("rows", CAPTION, 1004)]

    @staticmethod
    def wait_for_rows(predicate, timeout=20):
        deadline = time.time() + timeout
        rows = []
        while time.time() < deadline:
            rows = Tarnlet.rows()
            if predicate(rows):
                return rows
            time.sleep(0.5)
        raise CheckFailed("the host list never showed what was expected: %r" % rows)


@contextlib.contextmanager
def running(profile, arguments=(), update_url=CLOSED_UPDATE_URL):
    """tarnlet.exe on profile for the with block; killed and the profile's
    scripts removed however the block ends."""
    program = Tarnlet(profile, arguments, update_url)
    try:
        yield program
    finally:
        program.kill()
        profile.close()


class VersionSite:
    """A loopback web site for the update check: answers GET /version.txt
    with body (status 200), with 404 when body is None, or never, when
    answer is False. Counts the requests it got."""

    def __init__(self, body=None, answer=True):
        site = self
        self.requests = 0
        self.release = threading.Event()

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                site.requests += 1
                if not answer:
                    site.release.wait(30)
                    return
                content = (body or "Not Found").encode()
                self.send_response(200 if body is not None else 404)
                self.send_header("Content-Length", str(len(content)))
                self.end_headers()
                self.wfile.write(content)

            def log_message(self, *arguments):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.url = "http://127.0.0.1:%d/version.txt" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.release.set()
        self.server.shutdown()
        self.server.server_close()


def wait_until(predicate, timeout, interval=0.25):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(interval)
    return predicate()


def next_minute(moment):
    return (int(moment) // 60 + 1) * 60


def sleep_until(moment):
    time.sleep(max(0.0, moment - time.time()))


def unmount(folder):
    subprocess.run(["umount", "-l", folder], stderr=subprocess.DEVNULL)


@contextlib.contextmanager
def copy_of_the_test_prefix(name):
    """A copy of the test prefix for a check that runs beside others: its own
    data folder, registry and Wine server (which takes the locale of the
    environment it starts in)."""
    folder = tempfile.mkdtemp(prefix="e2e-%s-" % name.replace(" ", "-"), dir=os.path.join(REPO, "build"))
    copy = os.path.join(folder, "prefix")
    shutil.copytree(prefix(), copy, symlinks=True)
    previous = os.environ.get("TARNLET_WINEPREFIX")
    os.environ["TARNLET_WINEPREFIX"] = copy
    try:
        yield copy
    finally:
        if previous is None:
            del os.environ["TARNLET_WINEPREFIX"]
        else:
            os.environ["TARNLET_WINEPREFIX"] = previous
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=copy), stderr=subprocess.DEVNULL)
        # A mount left behind would keep its folder, or lose what it covers.
        with open("/proc/mounts") as mounts:
            for line in mounts:
                if line.split()[1].startswith(copy + "/"):
                    unmount(line.split()[1])
        shutil.rmtree(folder, ignore_errors=True)
