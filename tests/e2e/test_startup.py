# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The main window as it first comes up: title, fixed size, black star
field, hidden entry row, and what it tells through AT-SPI."""

import sys
import time

import harness
from driver import (STORED_CONTROLS, STORED_INSIDE, STAR_HIDDEN, MainWindow, classify_field,
                    scale, scale_rect)


class StartUp(harness.ProgramTest):
    # One program for the whole class; the checks that change nothing run
    # first, the resize requests last.
    session_name = "startup"

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def runtime_metrics(self):
        """The text height and width that the main window's controls were
        laid out with: the one pair for which the scaling rule puts all the
        known controls where they are."""
        session = self.session
        inside = session.extents(self.main.root)
        placed = {}
        for (role, name), stored in STORED_CONTROLS.items():
            if role == "image":
                node = self.main.star_field
            else:
                node = self.main.control(role, name)
            rect = session.extents(node)
            placed[name] = (stored, (rect.x - inside.x, rect.y - inside.y, rect.width,
                                     rect.height))
        candidates = [(height, width) for height in range(6, 60) for width in range(3, 30)
                      if all(scale_rect(stored, (height, width)) == actual
                             for stored, actual in placed.values())]
        self.assertEqual(len(candidates), 1,
                         f"no single text metric explains the layout {placed}: {candidates}")
        return candidates[0]

    def test_2_window_title_size_and_fixed_size(self):
        session = self.session
        info = session.window_info(self.main.window)
        self.assertEqual(info["title"], "Velmaris")
        self.assertTrue(info["mapped"])
        height, width = self.runtime_metrics()
        expected = harness.Rect(info["rect"].x, info["rect"].y,
                                scale(STORED_INSIDE[0], width, 6),
                                scale(STORED_INSIDE[1], height, 13))
        self.assertEqual(info["rect"], expected,
                         f"inside size for text metrics {height} x {width}")
        # The window carries the program's icon: 32 x 32 pixels.
        icon = session.xprop(self.main.window, "_NET_WM_ICON")
        self.assertIn("Icon (32 x 32):", icon, f"the main window has no 32 x 32 icon: {icon!r}")
        # Nor the sound libraries, nor the image plug-ins, nor the charts come
        # with the window.
        with open(f"/proc/{session.program.pid}/maps") as maps:
            mapped = maps.read()
        self.assertIn("libQt6Widgets", mapped)
        for library in ("/libpulse", "/imageformats/", "/libQt6Charts"):
            self.assertFalse(library in mapped, f"{library} is loaded")
        # No window manager runs here, so the window keeps its stored place.
        self.assertEqual((info["rect"].x, info["rect"].y), (204, 145))
        session.screenshot("main-window", self.main.window)

        # A request from outside to resize the window leaves it as it was.
        session.xdotool("windowsize", str(self.main.window), "500", "600")
        time.sleep(1.0)
        self.assertEqual(session.window_info(self.main.window)["rect"], expected,
                         "the main window took a size that its limits forbid")
        session.xdotool("windowsize", str(self.main.window), "200", "200")
        time.sleep(1.0)
        self.assertEqual(session.window_info(self.main.window)["rect"], expected,
                         "the main window took a size below its limits")

    def test_1_first_look(self):
        session = self.session
        main = self.main
        image = session.grab()
        field = main.field_rect()
        self.assertGreater(field.width * field.height, 0)
        self.assertEqual(classify_field(image, field), "black")
        # The field is black right to its edges.
        for point in ((field.x, field.y), (field.x + field.width - 1, field.y + field.height - 1)):
            self.assertEqual(image.getpixel(point), (0, 0, 0))

        # Neither the entry row nor "Stats..." shows before the first trial.
        for node in (main.edit, main.control("label", "Votre temps"), main.button("OK"),
                     main.button("Stats...")):
            self.assertFalse(session.showing(node), f"{node.getRoleName()} {node.name!r}")
            self.assertNotIn("visible", session.states(node))

        # What does show, and can be read.
        for name in ("On y va !", "Réglages...", "Aide..."):
            node = main.button(name)
            self.assertTrue(session.showing(node), name)
            self.assertTrue(main.enabled(node), name)
        for name in ("VELMARIS", "Le temps est de ", "v1.2.1",
                     "Entrainement au chronométrage des occultations stellaires"):
            self.assertTrue(session.showing(main.control("label", name)), name)
        # Of the two labels "s", the one after the result shows, the one
        # after the entry field never does.
        units = [node for node in session.descendants(main.root)
                 if node.getRoleName() == "label" and node.name == "s"]
        self.assertEqual(sorted(session.showing(node) for node in units), [False, True])
        self.assertEqual(main.result_text(), "X")
        star = main.star_field
        self.assertTrue(session.showing(star))
        self.assertEqual(star.description, STAR_HIDDEN)
        # The start button has the focus.
        harness.wait_until("the focus on the start button",
                           lambda: "focused" in session.states(main.button("On y va !")))

    def test_1_entry_field_is_named(self):
        """A screen reader announces the entry field by its label's text."""
        session, main = self.session, self.main
        edit = main.edit
        names = {edit.name}
        pyatspi = session.atspi()
        for relation in edit.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                names.update(relation.getTarget(index).name
                             for index in range(relation.getNTargets()))
        self.assertIn("Votre temps", names, "the entry field has no accessible name")


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
