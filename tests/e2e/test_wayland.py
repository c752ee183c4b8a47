# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The program on Qt's native Wayland platform, under a compositor that holds
clients to the xdg-shell protocol: it comes up, takes two entries, and a
SIGTERM closes it with its log written."""

import os
import signal
import sys
import unittest

import harness
from driver import MainWindow
from harness import wait_until


def press(node):
    """Clicks a button through its accessible action, as a screen reader does."""
    node.queryAction().doAction(0)


class NativeWayland(unittest.TestCase):
    def test_two_entries_then_sigterm(self):
        with harness.WaylandSession("wayland") as session:
            session.start_program()
            main = MainWindow(session)
            for typed in ("2,5", "3"):
                press(main.button("On y va !"))
                ok = main.button("OK")
                wait_until("the end of the trial",
                           lambda: session.showing(ok) and main.enabled(ok), timeout=30)
                main.edit.queryEditableText().setTextContents(typed)
                press(ok)
                wait_until("the entry to be accepted", lambda: not main.enabled(ok), timeout=5)
            session.program.send_signal(signal.SIGTERM)
            self.assertEqual(session.wait_exit(timeout=15), 0, session.stderr_bytes())
            with open(os.path.join(session.workdir, ".occ"), "rb") as handle:
                lines = handle.read().split(b"\r\n")
            self.assertEqual(len(lines), 3, lines)  # header, record, end
            fields = lines[1].split()
            self.assertEqual((len(fields), fields[0], fields[3]), (6, b"2", b"2"), lines)


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
