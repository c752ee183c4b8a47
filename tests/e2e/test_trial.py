# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Whole trials started with the mouse, watched on the screen and through
AT-SPI: the star, its occultation, its return, the result line and the
entry row; with "Temps vrai après ma saisie" ticked, a true time that no
one sees or hears before the entry."""

import re
import sys

import harness
from driver import STAR_SHOWN, MainWindow, check_trial, classify_field, text_of, watch_trial
from harness import wait_until

# Seconds as the program writes them, anywhere in a text.
ANY_SECONDS = re.compile(r"\d\.\d\d")
# Pixel columns that a number of seconds takes at least: "?" takes 4.
FEWEST_FIGURE_COLUMNS = 7


class Trial(harness.ProgramTest):
    session_name = "trial"

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def test_trials(self):
        session = self.session
        main = self.main
        session.screenshot("main-before-trial", main.window)
        start = main.button("On y va !")
        seen_hidden = False
        # The occultation lasts a random time below 5 s; a very short one
        # can pass between two samples. Run trials until one has been seen
        # with its star hidden, at most three.
        for attempt in range(3):
            record = watch_trial(session, main, lambda: session.click_accessible(start))
            check_trial(self, session, record)
            seen_hidden = seen_hidden or bool(record.times("black"))

            # The end of the trial, on the screen and through AT-SPI.
            image = session.screenshot(f"main-after-trial-{attempt + 1}", main.window)
            self.assertEqual(classify_field(image, main.field_rect()), "star")
            self.assertEqual(main.star_field.description, STAR_SHOWN)
            self.assertTrue(main.enabled(start))
            self.assertNotEqual(record.result, "X")
            edit = main.edit
            for node in (edit, main.control("label", "Votre temps"), main.button("OK")):
                self.assertTrue(session.showing(node), f"{node.getRoleName()} {node.name!r}")
                self.assertTrue(main.enabled(node), f"{node.getRoleName()} {node.name!r}")
            self.assertEqual(text_of(edit), "")
            # "Stats..." waits for an accepted entry.
            self.assertFalse(session.showing(main.button("Stats...")))
            if seen_hidden:
                break
        self.assertTrue(seen_hidden, "no trial was seen with its star hidden")

    def test_true_time_after_entry(self):
        session, main = self.session, self.main
        session.click_accessible(main.button("Conditions..."))
        root = session.top_level("Conditions d'observation")
        box = session.find(root, role="check box", name="Temps vrai après ma saisie")
        self.assertNotIn("checked", session.states(box), "unticked by default")
        session.click_accessible(box)
        wait_until("the box ticked", lambda: "checked" in session.states(box), timeout=5)
        session.click_accessible(session.find(root, role="push button", name="OK"))
        session.wait_no_window("^Conditions d'observation$")

        session.focus_window(main.window)
        start = main.button("On y va !")
        # Twice: the second time, the first entry's line is gone as well.
        for trial in (1, 2):
            # Back from the occultation: "?" on the screen, and no number of
            # seconds in any name, description or text that AT-SPI reads.
            watch_trial(session, main, lambda: session.click_accessible(start))
            session.screenshot(f"true-time-held-{trial}", main.window)
            self.assertEqual(main.result_label().name, "Saisissez votre temps")
            exposed = []
            for node in session.descendants(main.root):
                exposed += [node.name or "", node.description or ""]
                if node.getRoleName() == "text":
                    exposed.append(text_of(node))
            self.assertEqual([text for text in exposed if ANY_SECONDS.search(text)], [])
            self.assertLess(self.figure_columns(), FEWEST_FIGURE_COLUMNS)

            # The entry shows the true time, and the user's time with the gap.
            session.click_accessible(main.edit)
            session.type_text("2.00")
            session.key("Return")
            wait_until("the entry to be accepted", lambda: not main.enabled(main.button("OK")),
                       timeout=5)
            session.screenshot(f"true-time-after-entry-{trial}", main.window)
            said = re.fullmatch(r"Le temps est de \d+\.\d\d s ; votre temps 2\.00 s, "
                                r"écart (moins |plus |)(\d+\.\d\d) s", main.result_label().name)
            self.assertIsNotNone(said, main.result_label().name)
            sign = {"moins ": "\u2212", "plus ": "+", "": ""}[said.group(1)]
            line = session.find(main.root, role="label",
                                name=f"Votre temps : 2.00 s (écart {sign}{said.group(2)} s)")
            self.assertTrue(session.showing(line))
            self.assertGreaterEqual(self.figure_columns(), FEWEST_FIGURE_COLUMNS)

    def figure_columns(self):
        """The pixel columns of the result label that hold dark text."""
        rect = self.session.extents(self.main.result_label())
        pixels = self.session.grab().convert("L").load()
        return sum(any(pixels[x, y] < 128 for y in range(rect.y, rect.y + rect.height))
                   for x in range(rect.x, rect.x + rect.width))


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
