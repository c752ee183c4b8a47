# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Two trials with typed times, the statistics window and its grid, the end
of the program by a kill and the summary line appended to ".occ"."""

import math
import os
import signal
import sys

import harness
from driver import (MainWindow, assert_on_screen, check_trial, read_grid, seconds_value, text_of,
                    watch_trial)
from harness import wait_until

HEADER = b"NbOcc. Moy.Occ. Sig.Occ. Nb.Mes. Moy.Mes Sig.Mes.\r\n"


class StatisticsAndLog(harness.ProgramTest):
    session_name = "statistics"

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def trial_and_entry(self, typed, submit):
        session, main = self.session, self.main
        start = main.button("On y va !")
        record = watch_trial(session, main, lambda: session.click_accessible(start))
        duration = check_trial(self, session, record)
        edit = main.edit
        session.click_accessible(edit)
        session.type_text(typed)
        wait_until("the typed text in the entry field", lambda: text_of(edit) == typed, timeout=5)
        ok = main.button("OK")
        if submit == "click":
            session.click_accessible(ok)
        else:
            session.key("Return")
        # Accepted: the field is emptied, OK is disabled, "Stats..." shows.
        wait_until("the entry to be accepted", lambda: not main.enabled(ok), timeout=5)
        self.assertEqual(text_of(edit), "")
        self.assertTrue(session.showing(edit))
        self.assertTrue(session.showing(ok))
        stats = main.button("Stats...")
        self.assertTrue(session.showing(stats))
        self.assertTrue(main.enabled(stats))
        return duration

    def test_two_trials_statistics_and_log(self):
        session, main = self.session, self.main
        # A decimal comma is read as a decimal point.
        d1 = self.trial_and_entry("2,5", submit="click")
        d2 = self.trial_and_entry("1.75", submit="enter")
        session.screenshot("main-after-two-entries", main.window)

        session.click_accessible(main.button("Stats..."))
        window = session.wait_window("^Statistiques$")
        root = session.top_level("Statistiques")
        cells = read_grid(session, root)
        print(f"durations {d1} {d2}; grid {cells}", file=sys.stderr)
        assert_on_screen(session, window)
        session.screenshot("statistics", window)

        headers = {(1, 0): "Moy.", (2, 0): "Sigma", (3, 0): "Nb.", (0, 1): "Occult.",
                   (0, 2): "Erreur", (0, 0): ""}
        for place, text in headers.items():
            self.assertEqual(cells[place], text, f"header cell {place}")
        self.assertEqual(cells[(3, 1)], "2")
        self.assertEqual(cells[(3, 2)], "2")
        # The shown durations are rounded to 0.005 s at most, the cells again.
        e1, e2 = abs(2.5 - d1), abs(1.75 - d2)
        expected = {
            (1, 1): ((d1 + d2) / 2, 0.011),
            (2, 1): (abs(d1 - d2) / math.sqrt(2), 0.013),
            (1, 2): ((e1 + e2) / 2, 0.011),
            (2, 2): (abs(e1 - e2) / math.sqrt(2), 0.013),
        }
        for place, (value, tolerance) in expected.items():
            self.assertAlmostEqual(seconds_value(cells[place]), value, delta=tolerance,
                                   msg=f"cell {place} = {cells[place]!r}")

        # OK hides the statistics window; the program goes on.
        session.click_accessible(session.find(root, role="push button", name="OK"))
        session.wait_no_window("^Statistiques$")

        self.assertFalse(os.path.exists(os.path.join(session.workdir, ".occ")))
        # Ended by a kill, as at the end of a desktop session: the run's log
        # is written all the same, and the exit is a normal one.
        session.program.send_signal(signal.SIGTERM)
        self.assertEqual(session.wait_exit(timeout=10), 0)
        with open(os.path.join(session.workdir, ".occ"), "rb") as handle:
            log = handle.read()
        record = " ".join(cells[place] for place in ((3, 1), (1, 1), (2, 1), (3, 2), (1, 2),
                                                     (2, 2)))
        self.assertEqual(log, HEADER + record.encode("ascii") + b"\r\n")


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
