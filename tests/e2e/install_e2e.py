"""tarnlet.exe installs itself for the user on its first start and removes
all of it again with --uninstall. Installing changes the whole prefix, so
this check makes a Wine prefix of its own."""

import contextlib
import filecmp
import os
import shutil
import subprocess
import tempfile

from harness import (REPO, TARNLET, Profile, Tarnlet, check, driver, profile_folder, user_folder, wait_until,
                     wine)

ENTRY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tarnlet"
UNINSTALL_CAPTION = "Uninstalling tarnlet..."
UNINSTALL_CLOSE = 1007


@contextlib.contextmanager
def own_prefix():
    folder = tempfile.mkdtemp(prefix="e2e-install-", dir=os.path.join(REPO, "build"))
    previous = os.environ.get("TARNLET_WINEPREFIX")
    prefix = os.path.join(folder, "prefix")
    os.environ["TARNLET_WINEPREFIX"] = prefix
    try:
        wine(["cmd", "/c", "exit", "0"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        yield folder
    finally:
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix), stderr=subprocess.DEVNULL)
        if previous is None:
            del os.environ["TARNLET_WINEPREFIX"]
        else:
            os.environ["TARNLET_WINEPREFIX"] = previous
        shutil.rmtree(folder, ignore_errors=True)


def entry_exists():
    return wine(["reg", "query", ENTRY], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def shortcut():
    return os.path.join(user_folder(), "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "tarnlet.lnk")


def test_the_first_start_installs_and_uninstall_removes_everything(display):
    with own_prefix() as folder:
        downloads = os.path.join(folder, "Downloads")
        os.makedirs(downloads)
        download = os.path.join(downloads, "tarnlet.exe")
        shutil.copyfile(TARNLET, download)
        profile = Profile({"127.0.0.41": "hang\n"}, config="hosts\t127.0.0.41;\nactive\t127.0.0.41;\n")
        installed = os.path.join(profile_folder(), "tarnlet.exe")

        program = Tarnlet(profile, program=download, install=True)
        try:
            check(filecmp.cmp(download, installed, shallow=False), "the installed copy differs from the download")
            check(os.path.exists(shortcut()), "no Start-menu shortcut")
            check(entry_exists(), "no entry in the installed programs")
            check(program.process.poll() is None, "the program did not go on from the download folder")
            program.close()
        finally:
            program.kill()
            profile.close()

        uninstall = subprocess.Popen(["bash", os.path.join(REPO, "scripts", "wine-run"), installed, "--uninstall"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            done = "tarnlet has been successfully uninstalled"
            check(wait_until(lambda: done in driver("text", UNINSTALL_CAPTION), 60),
                  "the uninstall window never said it was done: %r" % driver("text", UNINSTALL_CAPTION))
            check(not os.path.exists(profile_folder()), "the data folder and the installed program are left")
            check(not os.path.exists(shortcut()), "the shortcut is left")
            check(not entry_exists(), "the installed-programs entry is left")
            driver("command", UNINSTALL_CAPTION, UNINSTALL_CLOSE)
            check(wait_until(lambda: not driver("rect", UNINSTALL_CAPTION), 30), "Close did not end the uninstaller")
        finally:
            uninstall.kill()
