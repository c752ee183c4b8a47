#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Where the shown duration's error comes from, below the hundredth that
the result line shows: the program's own instants against the screen.

velmaris_trials runs trials on the program's windows on a private X server
(xcb) and prints, for each trial, the instants at which the program took
the star away and gave it back (its clock readings, CLOCK_MONOTONIC) and
how late its timer ended each phase; velmaris_xwatch stamps, on the same
clock, when the star's pixels changed on the screen. Each edge's latency is
the screen's instant minus the program's; their difference is the part of
the on-screen duration that the program's measurement does not see.

Usage: /usr/bin/python3 bench/edges.py [--build DIR] [--trials N] [--max-delay MS]
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import benchlib  # noqa: E402

# A screen change further than this from the program's instant is not its.
MATCH_WINDOW_NS = 200_000_000
# The program reads an edge once the X server has its picture: the change
# comes on the screen a little before that reading.
EARLY_NS = 20_000_000

parser = benchlib.argument_parser(__doc__)
parser.add_argument("--trials", type=int, default=60, help="number of trials (default 60)")
parser.add_argument("--max-delay", type=int, default=1000,
                    help="MaxDelay for the run, ms (default 1000)")
parser.add_argument("--accessibility", action="store_true",
                    help="run the trials with accessibility on and read them through "
                         "AT-SPI, as fidelity.py does")
parser.add_argument("--verbose", action="store_true", help="print every trial")
args = parser.parse_args()

print(f"edges, {args.trials} trials with MaxDelay {args.max_delay} ms on xcb, accessibility "
      f"{'on' if args.accessibility else 'off'}; "
      f"{benchlib.load_line()}")
with benchlib.Session(args.build, args.data, accessibility=True) as session:
    layout = benchlib.learn_layout(session)
    env = session.env()
    if args.accessibility:
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
    runner = session.spawn("trials", [
        os.path.join(session.build_dir, "bench", "velmaris_trials"), "lateness",
        str(args.trials), str(args.max_delay), "4000", "list"], env=env, stdout=subprocess.PIPE)
    window = session.find_window()
    origin = session.window_origin(window)
    if origin != layout["origin"]:
        raise benchlib.BenchError(f"the window is elsewhere: {origin} != {layout['origin']}")
    if args.accessibility:
        # Read the result line once, as fidelity.py does after every trial:
        # a reader on the bus makes the program send its change events.
        benchlib.MainWindowReader(session, runner.pid).result_text()
    watcher = benchlib.Watcher(session, ["star", hex(window), *map(str, layout["star"])])
    output = runner.stdout.read().decode()
    runner.wait()
    time.sleep(0.2)
    screen = []
    while True:
        kind, ns, _ = watcher.next(timeout=0.1)
        if kind is None:
            break
        if kind in ("hidden", "shown"):
            screen.append((kind, ns))

trials = []
for line in output.splitlines():
    words = line.split()
    if words[:1] == ["trial"]:
        trials.append((float(words[3]), float(words[4]), int(words[6]), int(words[7])))
    elif not line.startswith("trial"):
        print(line)


def first_after(kind, instant):
    for seen, ns in screen:
        if seen == kind and instant - EARLY_NS <= ns < instant + MATCH_WINDOW_NS:
            return ns
    return None


hide_latency, show_latency, unseen_part, screen_minus_program = [], [], [], []
unmatched = 0
for index, (late1, late2, taken, given) in enumerate(trials):
    hidden = first_after("hidden", taken)
    shown = first_after("shown", given)
    if hidden is None or shown is None:
        unmatched += 1
        continue
    hide_latency.append((hidden - taken) / 1e6)
    show_latency.append((shown - given) / 1e6)
    screen_minus_program.append(((shown - hidden) - (given - taken)) / 1e6)
    if args.verbose:
        print(f"  trial {index + 1:3d}: program {(given - taken) / 1e6:9.3f} ms, screen "
              f"{(shown - hidden) / 1e6:9.3f} ms, star away {hide_latency[-1]:6.3f} ms and back "
              f"{show_latency[-1]:6.3f} ms after the program's readings")

if hide_latency:
    print(f"screen against the program's own instants, {len(hide_latency)} trials:")
    print(benchlib.summary("star gone on screen after reading", hide_latency))
    print(benchlib.summary("star back on screen after reading", show_latency))
    print(benchlib.summary("screen duration - program duration", screen_minus_program))
print(f"trials without both edges on the screen: {unmatched}")
print(f"after the run: {benchlib.load_line()}")
