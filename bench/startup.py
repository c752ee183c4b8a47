#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Start-up time and idle resident memory of velmaris, side by side with
the bare Qt program (one empty 287 x 419 window) as the floor.

For each run: the time from spawning the program to its window being
mapped (MapNotify on the root window, seen by velmaris_xwatch), to the
window's first damage and to its last damage before the program went idle
(its first and last drawing of start-up reaching the X server); then, once
the program has been idle for a while, its VmRSS from /proc, with the part
of it that is the program's own memory (RssAnon: heap, stacks, private
data) rather than mapped files (libraries, fonts), and its Pss. The
programs alternate, and the order rotates from one round to the next.

Besides the empty window, a second floor shows one label in it
(velmaris_bare --text): any window with text pays for the font set-up.

Usage: /usr/bin/python3 bench/startup.py [--build DIR] [--runs N]
"""

import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import benchlib  # noqa: E402


def one_run(session, watcher, command):
    watcher.drain()
    spawned = time.monotonic_ns()
    process = session.start_program(command, accessibility=False)
    mapped = window = None
    paints = []
    # Collect the map and the paints until the program has been left idle
    # for the settling time; then read its memory.
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        kind, ns, rest = watcher.next(timeout=0.05)
        if kind == "map" and mapped is None and ns >= spawned:
            mapped, window = ns, rest
            deadline = time.monotonic() + args.settle
        elif kind == "paint" and rest == window:
            paints.append(ns)
        elif kind == "eof":
            raise benchlib.BenchError(f"the watcher ended with status {ns}")
    name = os.path.basename(command[0])
    if mapped is None or not paints:
        session.end(process)
        raise benchlib.BenchError(f"{name}: no mapped and painted window")
    session.check_alive(process, name)
    rss = benchlib.status_kb(process.pid, "VmRSS")
    anon = benchlib.status_kb(process.pid, "RssAnon")
    pss = benchlib.pss_kb(process.pid)
    session.end(process)
    return ((mapped - spawned) / 1e6, (paints[0] - spawned) / 1e6,
            (paints[-1] - spawned) / 1e6, rss, anon, pss)


parser = benchlib.argument_parser(__doc__)
parser.add_argument("--runs", type=int, default=12, help="runs of each program (default 12)")
parser.add_argument("--settle", type=float, default=2.0,
                    help="seconds of idle before reading the memory (default 2)")
parser.add_argument("--compare", metavar="DIR",
                    help="also run the velmaris of another build directory, as 'compared'")
parser.add_argument("--verbose", action="store_true", help="print every run")
args = parser.parse_args()

print(f"start-up, {args.runs} rounds of each program in rotating order; {benchlib.load_line()}")
with benchlib.Session(args.build, args.data) as session:
    watcher = benchlib.Watcher(session, ["map"])
    programs = {"velmaris": [session.program], "bare Qt": [session.bare],
                "bare+text": [session.bare, "--text"]}
    if args.compare:
        # A copy under another name, like the measured program.
        compared = os.path.join(session.scratch, "vlm-compared")
        shutil.copy2(os.path.join(args.compare, "velmaris"), compared)
        programs["compared"] = [compared]
    results = {name: [] for name in programs}
    # One warm-up run of each, not counted: the first start reads the
    # libraries and fonts from disk.
    for path in programs.values():
        one_run(session, watcher, path)
    for index in range(args.runs):
        names = list(programs)
        shift = index % len(names)
        order = names[shift:] + names[:shift]
        for name in order:
            figures = one_run(session, watcher, programs[name])
            results[name].append(figures)
            if args.verbose:
                print(f"  round {index + 1:2d} {name:9s} mapped {figures[0]:7.1f} ms  "
                      f"first paint {figures[1]:7.1f} ms  last paint {figures[2]:7.1f} ms  "
                      f"VmRSS {figures[3]:6d} kB  RssAnon {figures[4]:6d} kB  Pss {figures[5]} kB")

headers = ("mapped (ms)", "first paint (ms)", "last paint (ms)", "VmRSS (kB)", "RssAnon (kB)",
           "Pss (kB)")
print(f"{'':10s}" + "".join(f"{h:>21s}" for h in headers))
print(f"{'':10s}" + "".join(f"{'median   min   max':>21s}" for _ in headers))
medians = {}
for name, runs in results.items():
    columns = [[x for x in column if x is not None] for column in zip(*runs)]
    medians[name] = [benchlib.median(column) for column in columns]
    print(f"{name:10s}" + "".join(f"{benchlib.median(c):9.1f} {min(c):5.1f} {max(c):5.1f}"
                                  if c[0] < 1000 else
                                  f"{benchlib.median(c):9.0f} {min(c):5.0f} {max(c):5.0f}"
                                  for c in columns))
for floor in ("bare Qt", "bare+text") + (("compared",) if args.compare else ()):
    v, b = medians["velmaris"], medians[floor]
    print(f"ratio velmaris / {floor} (medians): "
          + ", ".join(f"{h.split(' (')[0]} {x / y:.2f}" for h, x, y in zip(headers, v, b)))
print(f"after the runs: {benchlib.load_line()}")
