# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Space pressed as the star vanishes and again as it comes back: the
tapped duration waits selected in the entry field and Return accepts it,
the trial's line reaches reactions.csv at once, and the personal-equation
window shows the reaction times, read through AT-SPI."""

import os
import sys

import harness
from driver import MainWindow, check_trial, seconds_value, text_of, watch_trial
from harness import wait_until

class Reactions(harness.ProgramTest):
    session_name = "reactions"

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def log_lines(self):
        path = os.path.join(self.session.workdir, "reactions.csv")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as handle:
            return handle.read().decode("ascii").split("\r\n")

    def tapped_trial(self):
        """Runs a trial, pressing Space at the first sample of the hidden
        star and at the first sample of its return. Returns the trial's
        record, or None when the star was never seen hidden."""
        session, main = self.session, self.main
        pressed = []

        def on_sample(record):
            field = record.samples[-1][2]
            if len(pressed) == 0 and field == "black":
                session.key("space")
                pressed.append("disappearance")
            elif len(pressed) == 1 and field == "star":
                session.key("space")
                pressed.append("reappearance")

        record = watch_trial(session, main, lambda: session.click_accessible(
            main.button("On y va !")), on_sample=on_sample)
        check_trial(self, session, record)
        return record if len(pressed) == 2 else None

    def test_space_at_each_edge(self):
        session, main = self.session, self.main
        session.focus_window(main.window)
        # A trial too short to be seen hidden, or one whose star came back
        # before the first Space reached the program, is run again.
        for _ in range(4):
            before = len(self.log_lines())
            if self.tapped_trial() is None:
                continue
            try:
                wait_until("the trial's line in reactions.csv",
                           lambda: len(self.log_lines()) > before, timeout=5)
            except harness.HarnessError:
                continue  # both presses were typed into the entry field
            lines = self.log_lines()
            fields = lines[-2].split(",")
            if fields[4] and fields[5]:
                break
        else:
            self.fail("no trial had both edges tapped")
        duration, disappearance, reappearance = (float(value) for value in fields[3:6])
        self.assertEqual(fields[6:8], ["0", "0"])
        for reaction in (disappearance, reappearance):
            self.assertGreater(reaction, 0.0)
            self.assertLess(reaction, 2.0)

        # The entry holds the tapped duration, all of it selected.
        edit = main.edit
        wait_until("the tapped duration in the entry field", lambda: text_of(edit), timeout=5)
        tapped = text_of(edit)
        self.assertRegex(tapped, r"^\d+\.\d\d$")
        self.assertAlmostEqual(float(tapped), duration + reappearance - disappearance,
                               delta=0.0075)
        selection = edit.queryText().getSelection(0)
        self.assertEqual((selection[0], selection[1]), (0, len(tapped)))
        session.key("Return")
        wait_until("the entry to be accepted", lambda: not main.enabled(main.button("OK")),
                   timeout=5)

        # The window, with the figures of this one trial.
        session.click_accessible(main.button("Réactions..."))
        window = session.wait_window("^Équation personnelle$")
        root = session.top_level("Équation personnelle")
        table = session.find(root, role="table").queryTable()
        cells = {(column, row): table.getAccessibleAt(row, column).name
                 for row in range(table.nRows) for column in range(table.nColumns)}
        session.screenshot("personal-equation", window)
        for row, reaction in ((1, disappearance), (2, reappearance)):
            for column in (1, 2, 4, 5):
                self.assertAlmostEqual(seconds_value(cells[(column, row)]), reaction,
                                       delta=0.0051)
            self.assertEqual((cells[(3, row)], cells[(6, row)]), ("", "1"))


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
