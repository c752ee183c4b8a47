# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Starting without "aide.html" in the working directory, or with one that
cannot be read: the fatal error box, its text on standard error, and exit
code 1."""

import os
import re
import sys
import unittest

import harness
from harness import wait_until


class FatalStartUp(unittest.TestCase):
    def test_missing_help_page(self):
        with harness.Session("fatal", documents=("gpl_en.html",)) as session:
            session.start_program(wait_for_window=False)
            box = session.wait_window("^Erreur d'application$")
            # The main window never shows.
            self.assertEqual(session.find_windows("^Velmaris$"), [])
            session.screenshot("fatal-error-box", box)

            path = f"{session.workdir}/aide.html"
            message = ("Erreur lors de la lecture de TextViewer1.FileName: Impossible d'ouvrir le"
                       f' fichier "{path}". No such file or directory.')
            # The box says it too, readable through AT-SPI.
            root = session.top_level("Erreur d'application")
            label = session.find(root, role="label",
                                 predicate=lambda node: "LayoutReadError" in node.name)
            self.assertRegex(label.name, "^" + re.escape("Exception LayoutReadError dans le module"
                                                         " velmaris dans ")
                             + r"[0-9A-F]{8}\." + re.escape(f"\r\n{message}") + r"\s*$")
            session.find(root, role="push button", name="OK")
            self.assertIsNone(session.program.poll())

            # Enter answers the box; the program then ends with code 1.
            wait_until("the box to have the keyboard focus", lambda: "focused" in
                       session.states(session.find(root, role="push button", name="OK")) or
                       session.xdotool("getwindowfocus").strip() == str(box), timeout=5)
            session.key("Return")
            self.assertEqual(session.wait_exit(timeout=10), 1)
            self.assertRegex(
                session.stderr_bytes(),
                b"^Exception LayoutReadError dans le module velmaris dans [0-9A-F]{8}\\.\r\n"
                + re.escape(message.encode()) + b"\r\n$")

    def test_help_page_fifo(self):
        # A FIFO that no one writes to: the program neither waits for a
        # writer nor starts without its help page.
        with harness.Session("fatal-fifo", documents=("gpl_en.html",)) as session:
            path = f"{session.workdir}/aide.html"
            os.mkfifo(path, 0o600)
            session.start_program(wait_for_window=False)
            box = session.wait_window("^Erreur d'application$")
            self.assertEqual(session.find_windows("^Velmaris$"), [])
            # Read through X alone: AT-SPI serves one session per process.
            session.focus_window(box)
            session.key("Return")
            self.assertEqual(session.wait_exit(timeout=10), 1)
            message = ("Erreur lors de la lecture de TextViewer1.FileName: Impossible d'ouvrir le"
                       f' fichier "{path}". No such device or address.')
            self.assertRegex(
                session.stderr_bytes(),
                b"^Exception LayoutReadError dans le module velmaris dans [0-9A-F]{8}\\.\r\n"
                + re.escape(message.encode()) + b"\r\n$")


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
