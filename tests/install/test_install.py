# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The installed program: "cmake --install" into a staging directory, the
menu entry and AppStream metadata as the desktop's validators read them,
and the installed "velmaris" command started as the menu starts it, with a
fresh home directory, under its own X server."""

import argparse
import filecmp
import os
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402
from driver import MainWindow, text_of  # noqa: E402
from harness import wait_until  # noqa: E402

APP_ID = "io.github.velmaris.Velmaris"
DOCUMENTS = ("aide.html", "gpl_en.html")

# Filled in from the command line by main().
BUILD_DIR = None
CMAKE = None
VERSION = None


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = os.path.realpath(tempfile.mkdtemp(prefix="velmaris-install-"))
        cls.destdir = os.path.join(cls.scratch, "staging")
        env = dict(os.environ, DESTDIR=cls.destdir)
        result = subprocess.run([CMAKE, "--install", BUILD_DIR, "--prefix", "/usr"], env=env,
                                capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            shutil.rmtree(cls.scratch, ignore_errors=True)
            raise AssertionError(f"cmake --install failed: {result.stdout}{result.stderr}")
        cls.prefix = os.path.join(cls.destdir, "usr")
        cls.launcher = os.path.join(cls.prefix, "bin", "velmaris")
        # A socket where a compositor's would be: a display as far as the
        # launcher can tell.
        cls.display_socket = socket.socket(socket.AF_UNIX)
        cls.display_socket.bind(os.path.join(cls.scratch, "wayland-test"))

    @classmethod
    def tearDownClass(cls):
        cls.display_socket.close()
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def installed(self, *parts):
        return os.path.join(self.prefix, *parts)

    def fresh_home(self, name):
        home = os.path.join(self.scratch, name)
        os.mkdir(home)
        return home

    def launcher_env(self, home):
        env = {key: value for key, value in os.environ.items()
               if key not in ("XDG_DATA_HOME", "DISPLAY", "WAYLAND_DISPLAY")}
        env["HOME"] = home
        # The tests that use this stop before the program starts.
        env["WAYLAND_DISPLAY"] = os.path.join(self.scratch, "wayland-test")
        env.setdefault("LC_ALL", "C.UTF-8")
        return env

    def test_layout_stays_under_the_staging_directory(self):
        self.assertEqual(os.listdir(self.destdir), ["usr"])
        # The program itself is off the PATH; the command on it is the launcher.
        program = self.installed("libexec", "velmaris", "velmaris")
        self.assertTrue(os.access(program, os.X_OK))
        with open(self.launcher, "rb") as handle:
            self.assertEqual(handle.readline(), b"#!/bin/sh\n")
        self.assertTrue(os.access(self.launcher, os.X_OK))
        for size in (32, 48, 128):
            from PIL import Image
            with Image.open(self.installed("share", "icons", "hicolor", f"{size}x{size}", "apps",
                                           f"{APP_ID}.png")) as icon:
                self.assertEqual(icon.size, (size, size))

    def test_menu_entry_and_metadata_validate(self):
        desktop = self.installed("share", "applications", f"{APP_ID}.desktop")
        result = subprocess.run(["desktop-file-validate", desktop], capture_output=True,
                                text=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout + result.stderr, "")  # not even a hint
        with open(desktop, encoding="utf-8") as handle:
            lines = handle.read().splitlines()
        self.assertIn("Exec=velmaris", lines)
        self.assertIn(f"Icon={APP_ID}", lines)

        metainfo = self.installed("share", "metainfo", f"{APP_ID}.metainfo.xml")
        result = subprocess.run(["appstreamcli", "validate", "--no-net", metainfo],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_version_and_help_answer_without_a_display(self):
        env = self.launcher_env(self.fresh_home("home-options"))
        del env["WAYLAND_DISPLAY"]
        version = subprocess.run([self.launcher, "--version"], env=env, capture_output=True,
                                 text=True, timeout=10)
        self.assertEqual((version.returncode, version.stdout), (0, f"velmaris {VERSION}\n"))
        usage = subprocess.run([self.launcher, "--help"], env=env, capture_output=True,
                               text=True, timeout=10)
        self.assertEqual(usage.returncode, 0)
        self.assertTrue(usage.stdout.startswith("Utilisation : velmaris"))
        short = subprocess.run([self.launcher, "-h"], env=env, capture_output=True, text=True,
                               timeout=10)
        self.assertEqual((short.returncode, short.stdout), (0, usage.stdout))
        # Neither touches the home directory.
        self.assertEqual(os.listdir(env["HOME"]), [])

    def test_display_missing_or_silent_is_said_in_french(self):
        number = 7000
        while os.path.exists(f"/tmp/.X11-unix/X{number}"):
            number += 1
        runtime = tempfile.mkdtemp(dir=self.scratch)
        unset = "ni la variable DISPLAY ni la variable WAYLAND_DISPLAY n'est définie"
        silent = "l'affichage désigné par DISPLAY ou WAYLAND_DISPLAY ne répond pas"
        # As from a bare environment, then with a display of either kind that
        # does not answer.
        for name, display, reason in (
                ("none", None, unset),
                ("X", {"DISPLAY": f":{number}"}, silent),
                ("Wayland", {"WAYLAND_DISPLAY": "gone", "XDG_RUNTIME_DIR": runtime}, silent)):
            with self.subTest(name):
                home = self.fresh_home(f"home-display-{name}")
                if display is None:
                    env = {"HOME": home, "PATH": "/usr/bin:/bin"}
                else:
                    env = dict(self.launcher_env(home), **display)
                    if "WAYLAND_DISPLAY" not in display:
                        del env["WAYLAND_DISPLAY"]
                result = subprocess.run([self.launcher], env=env, capture_output=True, text=True,
                                        timeout=30)
                self.assertEqual((result.returncode, result.stdout), (2, ""), result.stderr)
                self.assertEqual(result.stderr,
                                 f"velmaris : aucun affichage graphique, car {reason}.\n")
                self.assertEqual(os.listdir(home), [])

    def test_unusable_working_directory_is_said_in_french(self):
        home = self.fresh_home("home-blocked")
        # A file where the directory ".local" should be: it cannot be made,
        # whatever the user's rights (the test may run as root).
        with open(os.path.join(home, ".local"), "w") as handle:
            handle.write("not a directory\n")
        result = subprocess.run([self.launcher], env=self.launcher_env(home),
                                capture_output=True, text=True, timeout=10)
        self.assertEqual(result.returncode, 2, result.stdout + result.stderr)
        self.assertEqual(result.stdout, "")
        lines = result.stderr.splitlines()
        self.assertEqual(len(lines), 1, result.stderr)
        self.assertTrue(lines[0].startswith(
            f"velmaris : impossible de créer le dossier de travail "
            f"« {home}/.local/share/velmaris » ("), lines[0])
        self.assertTrue(lines[0].endswith(")."), lines[0])

        # A directory where a document should be copied.
        home = self.fresh_home("home-in-the-way")
        workdir = os.path.join(home, ".local", "share", "velmaris")
        os.makedirs(os.path.join(workdir, "aide.html"))
        result = subprocess.run([self.launcher], env=self.launcher_env(home),
                                capture_output=True, text=True, timeout=10)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stderr,
                         f"velmaris : impossible de copier « aide.html » dans « {workdir} », où "
                         "un dossier porte ce nom.\n")

    def start_launcher(self, session, command, home, cwd, path=None):
        env = session.base_env()
        env.pop("XDG_DATA_HOME", None)
        env.update({
            "HOME": home,
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "XDG_RUNTIME_DIR": os.path.join(session.scratch, "runtime"),
        })
        if path is not None:
            env["PATH"] = path
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        session.stderr_path = os.path.join(session.scratch, "velmaris.stderr")
        with open(session.stderr_path, "wb") as err:
            session.program = session._spawn("velmaris", [command], env=env, cwd=cwd,
                                              stderr=err, stdout=err)
        session.main_window = session.wait_window("^Velmaris$", timeout=20)
        return session.main_window

    def accept_entry(self, session, main, typed):
        """One trial, then a typed time accepted with Enter."""
        session.click_accessible(main.button("On y va !"))
        # The entry's OK button comes on when the star is back.
        ok = main.button("OK")
        wait_until("the end of the trial", lambda: session.showing(ok) and main.enabled(ok),
                   timeout=30)
        edit = main.edit
        session.click_accessible(edit)
        session.type_text(typed)
        wait_until("the typed text in the entry field", lambda: text_of(edit) == typed,
                   timeout=5)
        session.key("Return")
        wait_until("the entry to be accepted", lambda: not main.enabled(ok), timeout=5)

    def test_menu_start_in_a_fresh_home_then_again_with_a_log(self):
        home = self.fresh_home("home")
        workdir = os.path.join(home, ".local", "share", "velmaris")
        shared_docs = self.installed("share", "velmaris")
        log = os.path.join(workdir, ".occ")

        # First start: from the home directory, as a menu starts it. Two
        # accepted entries, so that closing writes the log.
        with harness.Session("install-first", documents=()) as session:
            window = self.start_launcher(session, self.launcher, home, cwd=home)
            main = MainWindow(session)
            self.accept_entry(session, main, "2,5")
            self.accept_entry(session, main, "3")
            # The help page is there for the viewer.
            session.click_accessible(main.button("Aide..."))
            session.wait_window("^Aide$")
            session.screenshot("main-window", window)
            session.close_request(window)
            self.assertEqual(session.wait_exit(timeout=15), 0, session.stderr_bytes())

        self.assertEqual(sorted(os.listdir(workdir)), sorted(DOCUMENTS + (".occ",)))
        for name in DOCUMENTS:
            self.assertTrue(filecmp.cmp(os.path.join(shared_docs, name),
                                        os.path.join(workdir, name), shallow=False), name)
        self.assertEqual(stat.S_IMODE(os.stat(workdir).st_mode), 0o700)
        with open(log, "rb") as handle:
            log_bytes = handle.read()
        lines = log_bytes.split(b"\r\n")
        self.assertEqual(lines[0], b"NbOcc. Moy.Occ. Sig.Occ. Nb.Mes. Moy.Mes Sig.Mes.")
        self.assertEqual(len(lines), 3, log_bytes)
        fields = lines[1].split()
        self.assertEqual((len(fields), fields[0], fields[3]), (6, b"2", b"2"), log_bytes)
        log_time = os.stat(log).st_mtime_ns

        # Before the second start: a help page older than the installed one,
        # and a licence text the user changed since.
        help_page = os.path.join(workdir, "aide.html")
        with open(help_page, "wb") as handle:
            handle.write(b"<p>old help</p>\n")
        os.utime(help_page, (1_000_000_000, 1_000_000_000))
        licence = os.path.join(workdir, "gpl_en.html")
        with open(licence, "ab") as handle:
            handle.write(b"<!-- the user's note -->\n")
        with open(licence, "rb") as handle:
            licence_bytes = handle.read()

        # Started by name through the PATH, from a link to the launcher in
        # another directory, from an unrelated working directory.
        links = os.path.join(self.scratch, "links")
        os.makedirs(links, exist_ok=True)
        os.symlink(self.launcher, os.path.join(links, "velmaris"))
        elsewhere = self.fresh_home("elsewhere")
        with harness.Session("install-again", documents=()) as session:
            window = self.start_launcher(session, "velmaris", home, cwd=elsewhere,
                                         path=f"{links}:{os.environ.get('PATH', '/usr/bin')}")
            # Closed with no entry made: the log option does not apply.
            session.close_request(window)
            self.assertEqual(session.wait_exit(timeout=15), 0, session.stderr_bytes())

        with open(log, "rb") as handle:
            self.assertEqual(handle.read(), log_bytes)
        self.assertEqual(os.stat(log).st_mtime_ns, log_time)
        self.assertTrue(filecmp.cmp(os.path.join(shared_docs, "aide.html"), help_page,
                                    shallow=False), "the older help page was not replaced")
        with open(licence, "rb") as handle:
            self.assertEqual(handle.read(), licence_bytes, "the newer licence text was replaced")
        self.assertEqual(sorted(os.listdir(workdir)), sorted(DOCUMENTS + (".occ",)))
        self.assertEqual(os.listdir(elsewhere), [])


def main():
    global BUILD_DIR, CMAKE, VERSION
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--version", required=True, help="the project's version")
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--watchdog", type=int, default=0,
                        help="seconds after which the test fails, cleaning up")
    args, rest = parser.parse_known_args()
    BUILD_DIR = os.path.realpath(args.build_dir)
    CMAKE = args.cmake
    VERSION = args.version
    harness.SCREENSHOT_DIR = args.screenshots
    if args.watchdog:
        def expire(*_):
            raise harness.HarnessError(f"the test ran longer than {args.watchdog} s")
        signal.signal(signal.SIGALRM, expire)
        signal.alarm(args.watchdog)
    # ctest ends a test with SIGTERM on timeout: clean up through finally.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
