# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Space pressed as the star vanishes and again as it comes back: the
tapped duration waits selected in the entry field and Return accepts it,
the trial's line reaches reactions.csv at once, and the personal-equation
window shows the reaction times, read through AT-SPI. A short occultation
is timed from its two presses, both made once the star is back, and a
screen reader hears the entry field before the tapped duration put in it."""

import os
import re
import sys
import time

import harness
from driver import (MainWindow, check_trial, clipboard_text, seconds_value, text_of,
                    watch_trial)
from harness import wait_until

# How long after the edge a press is sent, seconds: a plausible reaction,
# well beyond the shortest one the program counts.
REACTION = 0.35
# How much later than its press the program may read a key, seconds: the
# key goes through xdotool and the X server, on a busy machine.
KEY_LAG = 0.15


def seen_edges(samples):
    """The vanish and the return as the samples saw them: for each, the
    times of the sample before and of the first sample that showed it, or
    None while not seen."""
    fields = [field for _, _, field, _ in samples]
    edges = []
    start = 0
    for shown in ("black", "star"):
        if shown not in fields[start:]:
            return edges + [None] * (2 - len(edges))
        start = fields.index(shown, start)
        edges.append((samples[start - 1][0] if start else 0.0, samples[start][0]))
    return edges


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

    def logged_trial(self, plan, attempts, wanted=lambda fields: True):
        """Runs trials, pressing Space when plan(vanish, back, presses) says
        (the time of the next press, or None), until one's line in
        reactions.csv has both reactions and is wanted. vanish and back are
        as seen_edges gives them, presses the times the presses were sent.
        Until the return is seen a press waits for a sample; once the star
        is back, the trial's last sample, the rest are made on time.
        Returns the line's fields, the edges as seen and the presses."""
        session, main = self.session, self.main
        session.focus_window(main.window)
        for _ in range(attempts):
            presses = []

            def on_sample(record):
                vanish, back = seen_edges(record.samples)
                while (due := plan(vanish, back, presses)) is not None:
                    if back is None and time.monotonic() < due:
                        return
                    time.sleep(max(0.0, due - time.monotonic()))
                    presses.append(time.monotonic())
                    session.key("space")

            before = len(self.log_lines())
            record = watch_trial(session, main, lambda: session.click_accessible(
                main.button("On y va !")), on_sample=on_sample)
            check_trial(self, session, record)
            if len(presses) < 2:
                continue  # the star was not seen as the plan needs
            wait_until("the trial's line in reactions.csv",
                       lambda: len(self.log_lines()) > before, timeout=5)
            fields = self.log_lines()[-2].split(",")
            if fields[4] and fields[5] and wanted(fields):
                return fields, seen_edges(record.samples), presses
        self.fail(f"no trial in {attempts} was timed as planned")

    def check_entry(self, fields, presses):
        """The entry holds the tapped duration, all of it selected."""
        duration, disappearance, reappearance = (float(value) for value in fields[3:6])
        edit = self.main.edit
        wait_until("the tapped duration in the entry field", lambda: text_of(edit), timeout=5)
        tapped = text_of(edit)
        self.assertRegex(tapped, r"^\d+\.\d\d$")
        self.assertAlmostEqual(float(tapped), duration + reappearance - disappearance,
                               delta=0.0075)
        self.assertAlmostEqual(float(tapped), presses[1] - presses[0], delta=KEY_LAG)
        selection = edit.queryText().getSelection(0)
        self.assertEqual((selection[0], selection[1]), (0, len(tapped)))
        return tapped

    @staticmethod
    def tapped_plan(vanish, back, presses):
        """A press while the star is hidden, another after its return."""
        if not presses:
            return vanish[1] + REACTION if vanish and not back else None
        return back[1] + REACTION if back and len(presses) == 1 else None

    def test_tapped_duration_heard_after_the_focus(self):
        """A screen reader says the entry field with the trial's result,
        then the tapped duration put into it: the focus event comes
        first."""
        pyatspi = self.session.atspi()
        from gi.repository import GLib
        events = []

        def heard(event):
            if event.type != "object:state-changed:focused" or event.detail1:
                events.append((event.type, event.source, event.any_data))

        kinds = ("focus:", "object:state-changed:focused", "object:text-changed:insert")
        pyatspi.Registry.registerEventListener(heard, *kinds)
        self.addCleanup(pyatspi.Registry.deregisterEventListener, heard, *kinds)
        fields, _, presses = self.logged_trial(
            self.tapped_plan, 4, lambda fields: float(fields[4]) < float(fields[3]))
        tapped = self.check_entry(fields, presses)

        def filled():
            while GLib.MainContext.default().iteration(False):
                pass
            return [index for index, (kind, _, text) in enumerate(events)
                    if kind.startswith("object:text-changed:insert") and text == tapped]
        insert = wait_until("the tapped duration's insert event", filled, timeout=5)[-1]
        focus = [source for kind, source, _ in events[:insert] if "focus" in kind]
        self.assertTrue(focus, "no focus event before the tapped duration")
        self.assertEqual(focus[-1].getRoleName(), "text", "the last focus before the text")
        self.assertRegex(focus[-1].description, r"^Le temps est de \d+\.\d\d s$")

    def test_trial_shorter_than_the_first_press(self):
        """The star is back before the first press: that press still times
        the vanish, and the next one the return. The pace is left as it
        starts, its quickest: the settings slider only allows longer waits."""
        latest = 1.0  # the first press stays well within the vanish's window

        def plan(vanish, back, presses):
            if not back or back[1] - vanish[1] > latest or len(presses) == 2:
                return None
            return presses[0] + 0.2 if presses else max(vanish[1] + REACTION, back[1])

        fields, (vanish, back), presses = self.logged_trial(plan, 30)
        duration, disappearance, reappearance = (float(value) for value in fields[3:6])
        self.assertEqual(fields[6:8], ["0", "0"])
        self.assertLess(duration, disappearance, "the first top came after the return")
        # Each edge came between the sample that showed it and the one
        # before; its press reached the program a moment after it was sent.
        for reaction, press, (before, seen) in ((disappearance, presses[0], vanish),
                                                (reappearance, presses[1], back)):
            self.assertGreaterEqual(reaction, press - seen - 0.0005)
            self.assertLessEqual(reaction, press - before + KEY_LAG)
        self.assertAlmostEqual(float(self.check_entry(fields, presses)), 0.2, delta=KEY_LAG)

    def test_space_at_each_edge(self):
        session, main = self.session, self.main
        fields, _, presses = self.logged_trial(self.tapped_plan, 4)
        duration, disappearance, reappearance = (float(value) for value in fields[3:6])
        self.assertEqual(fields[6:8], ["0", "0"])
        for reaction in (disappearance, reappearance):
            self.assertGreater(reaction, 0.0)
            self.assertLess(reaction, 2.0)
        self.check_entry(fields, presses)
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
            for column in (1, 2, 5, 6):
                self.assertAlmostEqual(seconds_value(cells[(column, row)]), reaction,
                                       delta=0.0051)
            self.assertEqual((cells[(3, row)], cells[(4, row)], cells[(7, row)]), ("", "", "1"))

        # "Copier" puts the report line on the clipboard: this trial's
        # reactions as the log has them, the conditions at their defaults,
        # and the run's UTC date.
        session.click_accessible(session.find(root, role="push button", name="Copier"))
        copied = wait_until("the report line on the clipboard",
                            lambda: clipboard_text(session.display), timeout=5)
        line = re.fullmatch(
            r"Pour vos rapports : disparition (\d+\.\d\d) s \(1 essai\), "
            r"réapparition (\d+\.\d\d) s \(1 essai\) ; "
            r"éclat 0, scintillation 0, fondu 0 ms, sans bips ; (\d{4}-\d\d-\d\d) TU\.", copied)
        self.assertIsNotNone(line, copied)
        self.assertAlmostEqual(float(line.group(1)), disappearance, delta=0.0051)
        self.assertAlmostEqual(float(line.group(2)), reappearance, delta=0.0051)
        self.assertEqual(line.group(3), fields[0][:10])
        session.close_request(window)
        session.wait_no_window("^Équation personnelle$")


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
