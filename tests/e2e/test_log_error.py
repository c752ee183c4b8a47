# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""A log that cannot be written at close: the error dialog, the main window
that stays open, and a second close once the log option is unticked."""

import os
import sys
import time

import harness
from driver import MainWindow, check_trial, text_of, watch_trial
from harness import wait_until


class LogError(harness.ProgramTest):
    session_name = "log-error"

    @classmethod
    def prepare(cls, workdir):
        # A directory where the log file should be.
        os.mkdir(os.path.join(workdir, ".occ"))

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def error_dialog(self):
        """The program's top-level accessible that holds the error text."""
        app = self.session.application()
        for index in range(app.childCount):
            window = app.getChildAtIndex(index)
            for node in self.session.descendants(window):
                if node.getRoleName() == "label" and "fichier" in node.name:
                    return window, node
        return None

    def test_unwritable_log_then_log_off(self):
        session, main = self.session, self.main
        # Two accepted entries, so that closing wants to write the log.
        for typed in ("3", "2,25"):
            start = main.button("On y va !")
            check_trial(self, session,
                        watch_trial(session, main, lambda: session.click_accessible(start)))
            edit = main.edit
            session.click_accessible(edit)
            session.type_text(typed)
            wait_until("the typed text", lambda: text_of(edit) == typed, timeout=5)
            session.key("Return")
            wait_until("the entry to be accepted",
                       lambda: not main.enabled(main.button("OK")), timeout=5)

        # The statistics window is the active one when the close fails.
        session.click_accessible(main.button("Stats..."))
        statistics = session.wait_window("^Statistiques$")
        session.close_request(main.window)
        dialog, label = wait_until("the error dialog", self.error_dialog, timeout=10)
        self.assertEqual(label.name, "Accès au fichier refusé.")
        # While it is open no window takes input: a second close request
        # and a click on the start button change nothing.
        start = main.button("On y va !")
        session.close_request(main.window)
        session.click_accessible(start)
        deadline = time.monotonic() + 1.0
        while time.monotonic() < deadline:
            self.assertTrue(main.enabled(start), "a trial started behind the error dialog")
            time.sleep(0.02)
        self.assertTrue(session.window_info(main.window)["mapped"])
        ok = session.find(dialog, role="push button", name="OK")
        dialog_windows = [w for w in session.find_windows(".*") if w != main.window
                          and session.window_info(w)["rect"] == session.extents(dialog)]
        session.screenshot("log-error-dialog",
                           dialog_windows[0] if dialog_windows else None)
        wait_until("the focus in the error dialog", lambda: "focused" in session.states(ok),
                   timeout=5)
        session.key("Return")
        wait_until("the error dialog to go", lambda: self.error_dialog() is None, timeout=10)

        # The main window is still there, and the program still runs.
        time.sleep(0.5)
        self.assertIsNone(session.program.poll(), "the program ended after the log error")
        self.assertTrue(session.window_info(main.window)["mapped"])
        self.assertTrue(session.showing(main.button("On y va !")))
        self.assertEqual(os.listdir(os.path.join(session.workdir, ".occ")), [])

        # Out of the way of the main window's buttons.
        session.close_request(statistics)
        session.wait_no_window("^Statistiques$")

        # Untick the log option in the settings window and close again.
        session.click_accessible(main.button("Réglages..."))
        settings = session.wait_window("^Réglages$")
        root = session.top_level("Réglages")
        box = session.find(root, role="check box", name="Sauver les statisitiques")
        self.assertIn("checked", session.states(box))
        session.click_accessible(box)
        wait_until("the log option to be unticked",
                   lambda: "checked" not in session.states(box), timeout=5)
        session.screenshot("settings-log-off", settings)

        session.close_request(main.window)
        self.assertEqual(session.wait_exit(timeout=10), 0)
        self.assertTrue(os.path.isdir(os.path.join(session.workdir, ".occ")))
        self.assertEqual(os.listdir(os.path.join(session.workdir, ".occ")), [])


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
