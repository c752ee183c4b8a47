# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Whole trials started with the mouse, watched on the screen and through
AT-SPI: the star, its occultation, its return, the result line and the
entry row; with "Temps vrai après ma saisie" ticked, a true time that no
one sees or hears before the entry."""

import os
import re
import sys

import harness
from driver import (STAR_SHOWN, MainWindow, check_trial, classify_field, seconds_value, text_of,
                    watch_trial)
from harness import wait_until

# Seconds as the program writes them, anywhere in a text.
ANY_SECONDS = re.compile(r"\d\.\d\d")
TYPED = "2.00"
# Pixel columns that a number of seconds takes at least on the result line.
FEWEST_FIGURE_COLUMNS = 7


def exposed(session, root):
    """Every text that the window gives to AT-SPI: each accessible's name,
    description and text, if it has one."""
    texts = []
    for node in session.descendants(root):
        texts += [node.name or "", node.description or ""]
        try:
            texts.append(text_of(node))
        except NotImplementedError:
            pass
    return texts


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
        # The box ticked in the conditions window, and kept.
        session.click_accessible(main.button("Conditions..."))
        session.wait_window("^Conditions d'observation$")
        root = session.top_level("Conditions d'observation")
        box = session.find(root, role="check box", name="Temps vrai après ma saisie")
        self.assertNotIn("checked", session.states(box), "unticked by default")
        session.click_accessible(box)
        wait_until("the box ticked", lambda: "checked" in session.states(box), timeout=5)
        session.click_accessible(session.find(root, role="push button", name="OK"))
        session.wait_no_window("^Conditions d'observation$")
        with open(os.path.join(session.scratch, "config", "velmaris", "velmaris.conf")) as kept:
            self.assertIn("temps_vrai_apres_saisie=true", kept.read())

        # Back from the occultation: "?" where the duration was, and no
        # number of seconds anywhere in the window, to the eye or to AT-SPI.
        session.focus_window(main.window)
        start = main.button("On y va !")
        record = watch_trial(session, main, lambda: session.click_accessible(start))
        self.assertEqual(record.phases(2)[-1], "star")
        session.screenshot("true-time-held", main.window)
        label = main.result_label()
        self.assertEqual(label.name, "Saisissez votre temps")
        self.assertEqual(main.edit.description, "Saisissez votre temps")
        before = exposed(session, main.root)
        self.assertEqual([text for text in before if ANY_SECONDS.search(text)], [])
        # On the screen, the line holds one narrow mark where the figure goes:
        # "?" takes 4 columns, a figure of three digits and a point 7 at the
        # least.
        self.assertLessEqual(self.figure_columns(), FEWEST_FIGURE_COLUMNS - 1)

        # The entry shows the true time, the user's time and the gap.
        session.click_accessible(main.edit)
        session.type_text(TYPED)
        wait_until("the typed text", lambda: text_of(main.edit) == TYPED, timeout=5)
        session.key("Return")
        wait_until("the entry to be accepted", lambda: not main.enabled(main.button("OK")),
                   timeout=5)
        session.screenshot("true-time-after-entry", main.window)
        said = re.fullmatch(r"Le temps est de (\S+) s ; votre temps 2\.00 s, "
                            r"écart (moins |plus |)(\d+\.\d\d) s", main.result_label().name)
        self.assertIsNotNone(said, main.result_label().name)
        duration = seconds_value(said.group(1).rjust(5))
        self.assertLess(duration, 5.5)
        sign = {"moins ": "\u2212", "plus ": "+", "": ""}[said.group(2)]
        line = session.find(main.root, role="label",
                            name=f"Votre temps : 2.00 s (écart {sign}{said.group(3)} s)")
        self.assertTrue(session.showing(line))
        gap = float(said.group(3)) * (-1 if said.group(2) == "moins " else 1)
        # Each figure is rounded to 0.005 s.
        self.assertAlmostEqual(gap, float(TYPED) - duration, delta=0.0101)
        self.assertFalse(any(said.group(1) in text for text in before))
        # The same measure sees the figures now on the screen.
        self.assertGreaterEqual(self.figure_columns(), FEWEST_FIGURE_COLUMNS)

    def figure_columns(self):
        """How many pixel columns of the result line, between "Le temps est
        de " and its "s", hold dark text."""
        session, main = self.session, self.main
        prefix = session.extents(main.control("label", "Le temps est de "))
        unit = [session.extents(node) for node in session.descendants(main.root)
                if node.getRoleName() == "label" and node.name == "s" and session.showing(node)
                and abs(session.extents(node).y - prefix.y) <= 2]
        self.assertEqual(len(unit), 1)
        image = session.grab().convert("L")
        pixels = image.load()
        found = sum(1 for x in range(prefix.x + prefix.width, unit[0].x)
                   if any(pixels[x, y] < 128 for y in range(prefix.y, prefix.y + prefix.height)))
        return found


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
