# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The program used with the keyboard alone, read through AT-SPI: the tab
order of the main window, a trial started with Space, an entry typed and
sent with Enter, and the statistics window."""

import os
import sys

import harness
from driver import (MainWindow, check_trial, describe, focused, read_grid, seconds_value,
                    text_of, watch_trial)
from harness import wait_until


class Keyboard(harness.ProgramTest):
    session_name = "keyboard"

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def assert_focus(self, role, name, root=None):
        root = root or self.main.root
        try:
            wait_until(f"the focus on {role} {name!r}", lambda: (
                (node := focused(self.session, root)) is not None
                and node.getRoleName() == role and (name is None or node.name == name)),
                timeout=3)
        except harness.HarnessError:
            self.fail(f"the focus is on {describe(focused(self.session, root))},"
                      f" not on {role} {name!r}")

    def assert_tab_cycle(self, cycle):
        """Tab from the first control visits the others in order and comes
        back to the first."""
        self.assert_focus(*cycle[0])
        for role, name in cycle[1:] + cycle[:1]:
            self.session.key("Tab")
            self.assert_focus(role, name)

    def test_1_trial_and_entry_by_keyboard(self):
        session, main = self.session, self.main
        # The window gets the focus as a window manager would give it.
        session.focus_window(main.window)
        self.assert_focus("push button", "On y va !")

        # Space pressed twice, as a hasty user does: the second press, during
        # the trial, is a top on the star field and opens nothing.
        record = watch_trial(session, main, lambda: session.key("space", "space"))
        duration = check_trial(self, session, record)
        self.assertEqual(session.find_windows("^Réglages$"), [])

        # The entry field takes the focus when the star is back, and the top
        # brings "Réactions..."; with the entry row open the tab order is the
        # full one but "Stats...".
        self.assert_focus("text", None)
        wait_until('"Réactions..." after the top',
                   lambda: session.showing(main.button("Réactions...")), timeout=5)
        self.assert_tab_cycle([("text", None), ("push button", "OK"),
                               ("push button", "On y va !"), ("push button", "Réglages..."),
                               ("push button", "Aide..."), ("push button", "Réactions..."),
                               ("push button", "Conditions..."),
                               ("push button", "Détection..."),
                               ("link", "Logiciel libre, licence GPL")])

        # Type the time and send it with Enter.
        session.type_text("2.5")
        wait_until("the typed text", lambda: text_of(main.edit) == "2.5", timeout=5)
        session.key("Return")
        wait_until("the entry to be accepted",
                   lambda: not main.enabled(main.button("OK")), timeout=5)
        self.assertEqual(text_of(main.edit), "")
        # Back on the start button, with "Stats..." in the cycle and the
        # disabled OK out of it.
        self.assert_tab_cycle([("push button", "On y va !"), ("push button", "Réglages..."),
                               ("push button", "Aide..."), ("push button", "Stats..."),
                               ("push button", "Réactions..."),
                               ("push button", "Conditions..."),
                               ("push button", "Détection..."),
                               ("link", "Logiciel libre, licence GPL"), ("text", None)])

        self.__class__.entry = (record.result, duration)

    def test_2_statistics_by_keyboard(self):
        session = self.session
        if not hasattr(self, "entry"):
            self.skipTest("needs the trial and entry of the test before")
        result, duration = self.entry
        # Tab to "Stats..." and press it with Space.
        self.assert_focus("push button", "On y va !")
        for _ in range(3):
            session.key("Tab")
        self.assert_focus("push button", "Stats...")
        session.key("space")
        stats = session.wait_window("^Statistiques$")
        root = session.top_level("Statistiques")
        self.assert_focus("table", None, root=root)
        cells = read_grid(session, root)
        # Each value cell tells a screen reader its row and its column.
        table = session.find(root, role="table").queryTable()
        self.assertEqual(table.getAccessibleAt(1, 1).description, "Occult., Moy.")
        self.assertEqual(table.getAccessibleAt(2, 3).description, "Erreur, Nb.")
        self.assertEqual((cells[(3, 1)], cells[(3, 2)]), ("1", "1"))
        self.assertEqual(seconds_value(cells[(1, 1)]), seconds_value(result))
        self.assertAlmostEqual(seconds_value(cells[(1, 2)]), abs(2.5 - duration), delta=0.0051)
        # One occultation and one entry: no deviation yet.
        self.assertEqual((cells[(2, 1)], cells[(2, 2)]), ("", ""))
        # Tab leaves the grid for OK; Space on OK hides the window.
        session.key("Tab")
        self.assert_focus("push button", "OK", root=root)
        session.key("space")
        session.wait_no_window("^Statistiques$")
        self.assertNotIn(stats, session.find_windows("^Statistiques$"))

    def test_3_close(self):
        session, main = self.session, self.main
        # One accepted entry only: closing writes no log.
        session.close_request(main.window)
        self.assertEqual(session.wait_exit(timeout=10), 0)
        self.assertFalse(os.path.exists(os.path.join(session.workdir, ".occ")))

if __name__ == "__main__":
    harness.main(sys.modules[__name__])
