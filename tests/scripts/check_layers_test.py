"""The layer check against fake trees: each bad include must fail it, and the
includes the layers are allowed must pass."""

import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-layers")

# Files every fake tree has, all of them allowed.
SOUND = {
    "cpp/string.h": "#pragma once\n#include <string>\n",
    "cpp/win32/handle.h": "#pragma once\n#include <windows.h>\n#include \"cpp/string.h\"\n",
    "cpp/posix/handle.cpp": "#include <unistd.h>\n",
    "app/host.h": "#pragma once\n#include \"cpp/string.h\"\n",
    "ui/win32/window.h": "#include <windows.h>\n#include \"app/host.h\"\n#include \"resources/resource.h\"\n",
    "install/version.h": "#include \"cpp/string.h\"\n",
    "program/win32/main.cpp": "#include \"ui/win32/window.h\"\n#include \"install/version.h\"\n",
    "tests/app/host_test.cpp": "#include \"app/host.h\"\n#include <gtest/gtest.h>\n",
    "tests/ui/window_helper.h": "#include \"app/host_fixture.h\"\n",
    "tools/ping/main.cpp": "#include <windows.h>\n#include \"ui/win32/window.h\"\n",
}

# (file, text, what the report must name)
BAD = [
    ("cpp/logger.cpp", "#include \"app/host.h\"\n", "from app, which is not below"),
    ("app/store.cpp", "#include \"ui/win32/window.h\"\n", "from ui, which is not below"),
    ("app/store.cpp", "  #  include \"program/win32/program.h\"\n", "from program, which is not below"),
    ("install/win32/installation.cpp", "#include \"app/data_file.h\"\n", "from app, which is not below"),
    ("ui/win32/uninstall.h", "#include \"install/win32/uninstaller.h\"\n", "neighbour install"),
    ("install/check.cpp", "#include \"ui/notice.h\"\n", "neighbour ui"),
    ("ui/layout.h", "#include <Windows.h>\n", "portable file includes <Windows.h>"),
    ("app/clock.cpp", "#include <objbase.h>\n", "portable file includes <objbase.h>"),
    ("app/clock.h", "#include \"cpp/win32/handle.h\"\n", "back end's \"cpp/win32/handle.h\""),
    ("app/clock.cpp", "#ifdef _WIN32\n#endif\n", "platform macro"),
    ("cpp/file.cpp", "#if defined(__linux__)\n#endif\n", "platform macro"),
    ("tests/cpp/string_test.cpp", "#include \"app/host.h\"\n", "from app, which is not below"),
    ("tests/app/store_test.cpp", "#include <windows.h>\n", "portable file includes <windows.h>"),
]


def write_tree(root, files):
    for relative, text in files.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as out:
            out.write(text)


def check(files):
    with tempfile.TemporaryDirectory() as root:
        write_tree(root, files)
        return subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)


class CheckLayersTest(unittest.TestCase):
    def test_the_allowed_includes_pass(self):
        result = check(SOUND)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_each_bad_include_fails_and_is_named(self):
        for relative, text, named in BAD:
            with self.subTest(file=relative, text=text):
                result = check(dict(SOUND, **{relative: text}))
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(relative + ":", result.stdout)
                self.assertIn(named, result.stdout)

    def test_every_fault_of_a_tree_is_reported_with_its_line(self):
        result = check(dict(SOUND, **{"app/store.cpp": "#include \"cpp/string.h\"\n#include \"ui/a.h\"\n"
                                                        "#include \"install/b.h\"\n"}))
        self.assertEqual(result.returncode, 1)
        self.assertIn("app/store.cpp:2:", result.stdout)
        self.assertIn("app/store.cpp:3:", result.stdout)
        self.assertIn("2 include(s)", result.stderr)

    def test_the_repository_itself_passes(self):
        result = subprocess.run([sys.executable, CHECK], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout)


if __name__ == "__main__":
    unittest.main()
