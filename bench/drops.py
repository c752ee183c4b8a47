#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The detection exercise's drops on the screen against the program's own
times: velmaris_drops runs a block on a private X server (xcb) and prints
the clock reading (CLOCK_MONOTONIC) taken right after it put each drop's
first frame and its return's frame on the screen; velmaris_xwatch reads
the star's square back with XGetImage at each damage and stamps its light
on the same clock. Each frame's figure is the screen's instant minus the
program's.

Usage: /usr/bin/python3 bench/drops.py [--build DIR] [--windows N]
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import benchlib  # noqa: E402

# A screen change further than this from the program's instant is not its.
MATCH_WINDOW_NS = 200_000_000
# The whole star is 255; the smallest drop shown here, 2 mag, is 111.
DIMMED_BELOW = 250

parser = benchlib.argument_parser(__doc__)
parser.add_argument("--windows", type=int, default=20, help="windows of the block (default 20)")
args = parser.parse_args()

print(f"drops, a block of {args.windows} windows on xcb; {benchlib.load_line()}")
with benchlib.Session(args.build, args.data) as session:
    runner = session.spawn("drops", [
        os.path.join(session.build_dir, "bench", "velmaris_drops"), str(args.windows)],
        env=session.env(), stdout=subprocess.PIPE)
    words = runner.stdout.readline().decode().split()
    if words[:1] != ["star"]:
        raise benchlib.BenchError(f"velmaris_drops said {words}")
    window, x, y = int(words[1]), words[2], words[3]
    watcher = benchlib.Watcher(session, ["light", hex(window), x, y, "5", "5"])
    output = runner.stdout.read().decode()
    runner.wait()
    time.sleep(0.2)
    screen = []
    while True:
        kind, ns, rest = watcher.next(timeout=0.1)
        if kind is None:
            break
        if kind == "light":
            screen.append((ns, int(rest.split()[0])))

program = []
for line in output.splitlines():
    words = line.split()
    if words[:1] in (["first"], ["last"]):
        program.append((words[0], int(words[1])))


def screen_change(kind, instant):
    """The first screen change of that kind near the program's instant."""
    for ns, level in screen:
        if abs(ns - instant) > MATCH_WINDOW_NS:
            continue
        if (level < DIMMED_BELOW) == (kind == "first"):
            return ns
    return None


figures = {"first": [], "last": []}
unmatched = 0
for kind, instant in program:
    seen = screen_change(kind, instant)
    if seen is None:
        unmatched += 1
        continue
    figures[kind].append((seen - instant) / 1e6)

print("screen against the program's readings (screen minus program):")
for kind, name in (("first", "drop's first frame"), ("last", "return's frame")):
    if figures[kind]:
        print(benchlib.summary(name, figures[kind]))
both = figures["first"] + figures["last"]
if both:
    print(f"  |screen - program|: mean {sum(abs(v) for v in both) / len(both):.3f} ms, "
          f"max {max(abs(v) for v in both):.3f} ms")
print(f"frames not found on the screen: {unmatched}")
print(f"after the run: {benchlib.load_line()}")
