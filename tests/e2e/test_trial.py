# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Whole trials started with the mouse, watched on the screen and through
AT-SPI: the star, its occultation, its return, the result line and the
entry row."""

import sys

import harness
from driver import STAR_SHOWN, MainWindow, check_trial, classify_field, text_of, watch_trial


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


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
