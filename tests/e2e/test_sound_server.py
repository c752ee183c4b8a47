# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""A PulseAudio stopped with SIGSTOP holds up neither the start with the
pips kept on, nor the first "Conditions...", nor the close. A trial made
once it stopped is logged without pips, the conditions window says that the
output was lost, and the pips come back with the server."""

import os
import signal
import subprocess
import sys
import time
import unittest

import harness
from driver import STAR_HIDDEN, STAR_SHOWN, MainWindow
from harness import wait_until

# Far above what each step takes with a server that answers.
LIMIT = 3.0
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
        # A program left by a failure goes before the next one starts.
        self.session._end(self.session.program)

    def timed(self, what, step, *args):
        began = time.monotonic()
        step(*args)
        print(f"{what}: {time.monotonic() - began:.2f} s", file=sys.stderr)
        self.assertLess(time.monotonic() - began, LIMIT, what)

    def start(self, bips, server):
        """Starts the program, the pips kept on or not, the server stopped or not."""
        os.kill(self.pulse.pid, signal.SIGCONT if server else signal.SIGSTOP)
        config = os.path.join(self.session.scratch, "config", "velmaris")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "velmaris.conf"), "w") as handle:
            handle.write(f"[conditions]\nbips={str(bips).lower()}\n")
        self.session.start_program(wait_for_window=False)
        self.session.main_window = self.session.wait_window("^Velmaris$", timeout=40)

    def conditions(self, main):
        """Opens the conditions window; returns it and its pips' box, disabled."""
        self.session.click_accessible(main.button("Conditions..."))
        self.timed("conditions window", self.session.wait_window, "^Conditions d'observation$", 40)
        root = self.session.top_level("Conditions d'observation")
        box = self.session.find(root, role="check box", name="Bips des secondes")
        wait_until("the pips' box disabled",
                   lambda: "sensitive" not in self.session.states(box), timeout=10)
        self.assertEqual(box.description, "Aucune sortie audio")
        return root, box

    def close(self, main):
        self.session.close_request(main.window)
        self.timed("close", self.session.wait_exit, 15)

    def trial_bips(self, main):
        """Runs a trial, Space at each edge; returns its line's bips field."""
        log = os.path.join(self.session.workdir, "reactions.csv")

        def lines():
            with open(log, "rb") as handle:
                return handle.read().decode("ascii").split("\r\n")[:-1]
        before = len(lines()) if os.path.exists(log) else 0
        self.session.focus_window(main.window)
        start, star = main.button("On y va !"), main.star_field
        self.session.click_accessible(start)
        wait_until("the trial to start", lambda: not main.enabled(start), timeout=2, interval=0.01)
        for edge in (STAR_HIDDEN, STAR_SHOWN):
            # A short occultation may be over before it is seen.
            wait_until(edge, lambda: star.description == edge or main.enabled(start),
                       timeout=8, interval=0.02)
            self.session.key("space")
        wait_until("the trial's line", lambda: len(lines()) > before, timeout=8)
        return lines()[-1].split(",")[lines()[0].split(",").index("bips")]

    def test_start_and_first_conditions_with_the_server_stopped(self):
        self.timed("start with the pips kept on", self.start, True, False)
        main = MainWindow(self.session)
        self.close(main)
        # Kept off, the server is asked when the conditions are first shown.
        self.start(bips=False, server=False)
        main = MainWindow(self.session)
        self.conditions(main)
        self.close(main)

    def test_server_stopped_during_the_run(self):
        self.start(bips=True, server=True)
        main = MainWindow(self.session)
        wait_until("the pips' stream", lambda: subprocess.run(
            ["pactl", "--server", self.server, "list", "short", "sink-inputs"],
            capture_output=True, text=True, timeout=5).stdout.strip(), timeout=10)
        self.assertEqual(self.trial_bips(main), "1")
        # The next trial's pips do not sound, and its line says so.
        os.kill(self.pulse.pid, signal.SIGSTOP)
        self.assertEqual(self.trial_bips(main), "0")
        root, box = self.conditions(main)
        self.session.find(root, role="label", name=LOST)
        # The server answers again: so do the pips.
        os.kill(self.pulse.pid, signal.SIGCONT)
        wait_until("the pips' box enabled",
                   lambda: "sensitive" in self.session.states(box), timeout=15)
        self.session.click_accessible(self.session.find(root, role="push button", name="OK"))
        self.assertEqual(self.trial_bips(main), "1")
        # Stopped again with the stream open: the close does not wait on it.
        os.kill(self.pulse.pid, signal.SIGSTOP)
        self.close(main)


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
