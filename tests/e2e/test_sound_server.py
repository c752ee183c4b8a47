# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""A sound server that stops answering (a PulseAudio of the test's own,
suspended with SIGSTOP) holds nothing up: the start with the pips kept on,
the first "Conditions...", and the close each take a moment, not the sound
library's 30 s or for ever. A trial made once it stopped is logged without
pips, the conditions window says that the output was lost, and the pips
come back with the server."""

import os
import signal
import subprocess
import sys
import time
import unittest

import harness
from driver import STAR_HIDDEN, STAR_SHOWN, MainWindow
from harness import wait_until

# Each is far above what the step takes with a server that answers.
START_LIMIT = 8.0
CONDITIONS_LIMIT = 3.0
CLOSE_LIMIT = 3.0
LOST = "La sortie audio ne répond plus : les essais se font sans bips."


class SoundServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session("sound_server")
        try:
            cls.session.start()
            cls.pulse, cls.server = harness.start_pulseaudio(cls.session)
        except BaseException:
            cls.session.close()
            raise

    @classmethod
    def tearDownClass(cls):
        os.kill(cls.pulse.pid, signal.SIGCONT)
        cls.session.close()

    def tearDown(self):
        os.kill(self.pulse.pid, signal.SIGCONT)
        if self.session.program is not None:
            self.session._end(self.session.program)

    def suspend(self):
        os.kill(self.pulse.pid, signal.SIGSTOP)

    def start(self, bips):
        """Starts the program with the pips kept on or off; returns its main
        window and how long the window took to show."""
        config = os.path.join(self.session.scratch, "config", "velmaris")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "velmaris.conf"), "w") as handle:
            handle.write(f"[conditions]\nbips={'true' if bips else 'false'}\n")
        began = time.monotonic()
        self.session.start_program(wait_for_window=False)
        self.session.main_window = self.session.wait_window("^Velmaris$", timeout=40)
        return MainWindow(self.session), time.monotonic() - began

    def conditions(self, main, timeout=40):
        """Opens the conditions window; returns its accessible, its pips' box
        and how long it took to show."""
        began = time.monotonic()
        self.session.click_accessible(main.button("Conditions..."))
        self.session.wait_window("^Conditions d'observation$", timeout=timeout)
        shown = time.monotonic() - began
        root = self.session.top_level("Conditions d'observation")
        return root, self.session.find(root, role="check box", name="Bips des secondes"), shown

    def assert_no_output(self, box, timeout):
        wait_until("the pips' box disabled",
                   lambda: "sensitive" not in self.session.states(box), timeout=timeout)
        self.assertEqual(box.description, "Aucune sortie audio")

    def close(self, main):
        began = time.monotonic()
        self.session.close_request(main.window)
        try:
            self.session.wait_exit(timeout=15)
        except harness.HarnessError:
            self.fail("the close did not end within 15 s")
        return time.monotonic() - began

    def trial_bips(self, main):
        """Runs a trial, Space at each edge; returns the bips field of its
        line in reactions.csv."""
        session, log = self.session, os.path.join(self.session.workdir, "reactions.csv")

        def lines():
            if not os.path.exists(log):
                return []
            with open(log, "rb") as handle:
                return [line for line in handle.read().decode("ascii").split("\r\n") if line]
        before = len(lines())
        session.focus_window(main.window)
        start, star = main.button("On y va !"), main.star_field
        session.click_accessible(start)
        wait_until("the trial to start", lambda: not main.enabled(start), timeout=2, interval=0.01)
        for edge in (STAR_HIDDEN, STAR_SHOWN):
            # A short occultation may be over before it is seen.
            wait_until(edge, lambda: star.description == edge or main.enabled(start),
                       timeout=8, interval=0.02)
            session.key("space")
        wait_until("the trial's line", lambda: len(lines()) > before, timeout=8)
        return lines()[-1].split(",")[-1]

    def test_start_with_pips_kept_on(self):
        self.suspend()
        main, started = self.start(bips=True)
        print(f"start with the server stopped: {started:.2f} s", file=sys.stderr)
        self.assertLess(started, START_LIMIT)
        _, box, _ = self.conditions(main)
        self.assert_no_output(box, timeout=10)
        closed = self.close(main)
        print(f"close: {closed:.2f} s", file=sys.stderr)
        self.assertLess(closed, CLOSE_LIMIT)

    def test_first_conditions_window(self):
        main, _ = self.start(bips=False)
        self.suspend()
        _, box, shown = self.conditions(main)
        print(f"first \"Conditions...\" with the server stopped: {shown:.2f} s", file=sys.stderr)
        self.assertLess(shown, CONDITIONS_LIMIT)
        # The sound server is given up, not waited for.
        self.assert_no_output(box, timeout=10)
        self.assertLess(self.close(main), CLOSE_LIMIT)

    def test_server_stopped_during_the_run(self):
        main, _ = self.start(bips=True)
        wait_until("the pips' stream", lambda: subprocess.run(
            ["pactl", "--server", self.server, "list", "short", "sink-inputs"],
            capture_output=True, text=True, timeout=5).stdout.strip(), timeout=10)
        self.assertEqual(self.trial_bips(main), "1")
        # The next trial's pips do not sound, and its line says so.
        self.suspend()
        self.assertEqual(self.trial_bips(main), "0")
        root, box, _ = self.conditions(main, timeout=CONDITIONS_LIMIT)
        self.assert_no_output(box, timeout=5)
        self.session.find(root, role="label", name=LOST)
        # The server answers again: so do the pips.
        os.kill(self.pulse.pid, signal.SIGCONT)
        wait_until("the pips' box enabled",
                   lambda: "sensitive" in self.session.states(box), timeout=15)
        wait_until("the line gone", lambda: not any(
            node.name == LOST and self.session.showing(node)
            for node in self.session.descendants(root)), timeout=5)
        self.session.click_accessible(self.session.find(root, role="push button", name="OK"))
        self.assertEqual(self.trial_bips(main), "1")
        # Stopped again with the stream open: the close does not wait on it.
        self.suspend()
        closed = self.close(main)
        print(f"close with the stream open on the stopped server: {closed:.2f} s",
              file=sys.stderr)
        self.assertLess(closed, CLOSE_LIMIT)


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
