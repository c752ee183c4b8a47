# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""A short block of the detection exercise: the star's drops watched on the
screen, Space pressed after most of them and missed on purpose after some,
two false alarms early in chosen windows, then "Arrêter"; the main window's
start button disabled meanwhile, the results shown, and detection.csv
checked line by line, its threshold recomputed from its lines."""

import math
import os
import statistics
import sys
import time

import harness
from driver import MainWindow
from harness import wait_until

TITLE = "Seuil de détection"
FIELD_NAME = "Champ d'étoile de la détection"
WINDOW_S = 6.0
HEADER = ("seance,fenetre,date_utc,chute_mag,debut_s,vu,reaction_s,fausses_alertes,eclat,"
          "scintillation,fondu_ms")
# Drops missed on purpose, counted from 0: the staircase turns at each.
MISSED = {2, 5, 8}
DROPS_WANTED = 11
# Windows, from 0, with a press 0.6 s in, before any drop can start.
ALARM_WINDOWS = {1, 4}


def recomputed_threshold(rows):
    """The block's threshold from its lines alone: two hits in a row make
    the drop smaller, one miss larger; a reversal is a window whose answer
    turns the direction; the mean and deviation of the reversals after the
    first two."""
    direction, hits, reversals = 0, 0, []
    for row in rows:
        if row["chute_mag"] == "":
            continue
        move = 0
        if row["vu"] == "1":
            hits += 1
            if hits == 2:
                move, hits = -1, 0
        else:
            move, hits = 1, 0
        if move:
            if direction and move != direction:
                reversals.append(float(row["chute_mag"]))
            direction = move
    used = reversals[2:]
    if len(used) < 4:
        return None
    return statistics.mean(used), statistics.stdev(used), reversals


class Detection(harness.ProgramTest):
    session_name = "detection"

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def star_level(self, field):
        from PIL import ImageGrab
        x = field.x + field.height // 2 + 2
        y = field.y + field.width // 2 + 2
        image = ImageGrab.grab(bbox=(x, y, x + 1, y + 1), xdisplay=self.session.display)
        return image.getpixel((0, 0))[0]

    def test_short_block_and_its_log(self):
        session, main = self.session, self.main
        start_trial = main.button("On y va !")
        session.click_accessible(main.button("Détection..."))
        window = session.wait_window(f"^{TITLE}$")
        root = session.top_level(TITLE)
        field = session.extents(session.find(
            root, name=FIELD_NAME,
            predicate=lambda node: node.getRoleName() in ("image", "filler")))
        self.assertEqual(self.star_level(field), 255, "the star at its whole light")
        session.screenshot("before-block", window)

        session.focus_window(window)
        begin = session.find(root, role="push button", name="Commencer")
        started = time.monotonic()
        session.click_accessible(begin)
        stop = session.find(root, role="push button", name="Arrêter", timeout=3)
        wait_until("the trial's start disabled during the block",
                   lambda: not main.enabled(start_trial), timeout=3)

        drops = []    # [first seen dimmed, first seen back, pressed at or None]
        alarms = []
        last = None
        end_at = None
        deadline = started + 45 * WINDOW_S
        while time.monotonic() < deadline:
            now = time.monotonic()
            level = self.star_level(field)
            dimmed = level < 250
            if dimmed and (not drops or drops[-1][1] is not None):
                drops.append([now, None, None])
                if len(drops) == 2:
                    session.screenshot("during-drop", window)
            elif not dimmed and drops and drops[-1][1] is None:
                drops[-1][1] = now
            if drops and drops[-1][2] is None and len(drops) - 1 not in MISSED \
                    and now - drops[-1][0] >= 0.3:
                session.key("space")
                drops[-1][2] = time.monotonic()
            index = int((now - started) // WINDOW_S)
            if index in ALARM_WINDOWS and index not in [a[0] for a in alarms] \
                    and now - started - index * WINDOW_S >= 0.6:
                session.key("space")
                alarms.append((index, time.monotonic()))
            if len(drops) == DROPS_WANTED and drops[-1][1] is not None and end_at is None:
                last = int((drops[-1][0] - started) // WINDOW_S)
                end_at = started + (last + 1) * WINDOW_S + 0.4
            if end_at is not None and now >= end_at:
                break
            time.sleep(0.005)
        self.assertIsNotNone(end_at, f"drops seen: {len(drops)}")
        session.click_accessible(stop)
        session.find(root, role="push button", name="Commencer", timeout=3)
        wait_until("the trial's start enabled again", lambda: main.enabled(start_trial),
                   timeout=3)
        time.sleep(0.3)
        session.screenshot("after-block", window)

        # Every window finished before "Arrêter" has its line, no other.
        path = os.path.join(session.workdir, "detection.csv")
        with open(path, "rb") as handle:
            text = handle.read().decode("ascii")
        self.assertTrue(text.endswith("\r\n"))
        lines = text[:-2].split("\r\n")
        self.assertEqual(lines[0], HEADER)
        names = HEADER.split(",")
        rows = [dict(zip(names, line.split(","))) for line in lines[1:]]
        for line in lines[1:]:
            self.assertEqual(len(line.split(",")), len(names), line)
        self.assertEqual(len(rows), last + 1, "the windows finished")
        self.assertEqual([int(row["fenetre"]) for row in rows], list(range(1, last + 2)))
        self.assertEqual({row["seance"] for row in rows}, {rows[0]["seance"]})
        for row in rows:
            self.assertEqual((row["eclat"], row["scintillation"], row["fondu_ms"]),
                             ("0", "0", "0"))

        # The drops as the screen showed them, one by one against the log.
        dropped = [row for row in rows if row["chute_mag"] != ""]
        self.assertEqual(len(dropped), DROPS_WANTED)
        self.assertEqual(float(dropped[0]["chute_mag"]), 2.0)
        for number, (row, (dimmed, back, pressed)) in enumerate(zip(dropped, drops)):
            window_start = started + (int(row["fenetre"]) - 1) * WINDOW_S
            self.assertGreaterEqual(float(row["debut_s"]), 1.0, row)
            self.assertLessEqual(float(row["debut_s"]), 4.1, row)
            # The screen was sampled every few milliseconds; the click that
            # started the block took a moment to arrive.
            self.assertAlmostEqual(dimmed - window_start, float(row["debut_s"]), delta=0.3)
            self.assertAlmostEqual(back - dimmed, 1.0, delta=0.1)
            if number in MISSED:
                self.assertEqual((row["vu"], row["reaction_s"]), ("0", ""), row)
            else:
                self.assertEqual(row["vu"], "1", row)
                self.assertAlmostEqual(float(row["reaction_s"]), pressed - dimmed, delta=0.1)
        for row in rows:
            if row["chute_mag"] == "":
                self.assertEqual((row["debut_s"], row["vu"], row["reaction_s"]), ("", "", ""))
            expected = 1 if int(row["fenetre"]) - 1 in ALARM_WINDOWS else 0
            self.assertEqual(int(row["fausses_alertes"]), expected, row)

        # The threshold recomputed from the lines is the one shown.
        threshold = recomputed_threshold(rows)
        self.assertIsNotNone(threshold, "the misses turn the staircase six times")
        mean, deviation, reversals = threshold
        results = session.find(root, role="label",
                               predicate=lambda node: node.name.startswith("Seuil de détection"))
        first = results.name.split("\n")[0]
        prefix = "Seuil de détection : chute de "
        self.assertTrue(first.startswith(prefix), first)
        shown_mean, _, shown_deviation = first[len(prefix):].split(" ")[0:3]
        shown_deviation = first.split("± ")[1].split(" ")[0]
        self.assertLessEqual(abs(float(shown_mean) - mean), 0.05 + 1e-9, (first, reversals))
        self.assertLessEqual(abs(float(shown_deviation) - deviation), 0.05 + 1e-9,
                             (first, reversals))
        quiet = [row for row in rows if row["chute_mag"] == ""]
        alarmed = sum(1 for row in quiet if row["fausses_alertes"] != "0")
        during = sum(int(row["fausses_alertes"]) for row in dropped)
        self.assertIn(f"Fausses alertes : {alarmed} sur {len(quiet)} fenêtres sans chute, "
                      f"{during} pendant les autres", results.name)
        # The block heads the earlier ones.
        earlier = session.find(root, role="list", name="Séances précédentes")
        self.assertGreaterEqual(earlier.childCount, 1)


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
