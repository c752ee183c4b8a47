#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Idle cost of velmaris: the CPU time it uses with its main window shown
and nothing happening, while trials run, and after them, the star left on
the field: with the window shown, hidden (unmapped, as a window manager
does when it minimises it) and shown again.

CPU time is utime + stime from /proc/<pid>/stat (clock ticks of 10 ms) and,
finer, the threads' run time from /proc/<pid>/task/*/schedstat
(nanoseconds); wake-ups are the threads' context switches. After the trials
the X server's figures are given beside the program's. The program runs
on a private X server with accessibility off, under the observing
conditions of a private configuration folder (--scintillation, the others
at their defaults); the place of the start button is learnt first from a
separate run with accessibility on.

Usage: /usr/bin/python3 bench/idle.py [--build DIR] [--idle SECONDS] [--trials N]
       [--scintillation 0-5] [--after SECONDS]
"""

import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import benchlib  # noqa: E402


def sample(pid):
    return (benchlib.cpu_seconds(pid), benchlib.schedstat_seconds(pid),
            sum(benchlib.wakeups(pid)), time.monotonic())


def describe(before, after, per_seconds, unit):
    cpu, sched, switches, wall = (b - a if a is not None and b is not None else None
                                  for a, b in zip(before, after))
    scale = per_seconds / wall
    sched_text = f"{sched * 1000 * scale:8.2f} ms" if sched is not None else "   n/a"
    return (f"{wall:6.1f} s: utime+stime {cpu * 1000 * scale:7.1f} ms, run time {sched_text}, "
            f"{switches * scale:7.1f} wake-ups per {unit}")


parser = benchlib.argument_parser(__doc__)
parser.add_argument("--idle", type=float, default=60.0, help="idle seconds (default 60)")
parser.add_argument("--settle", type=float, default=3.0,
                    help="seconds left after start-up before measuring (default 3)")
parser.add_argument("--trials", type=int, default=6, help="trials to measure (default 6)")
parser.add_argument("--scintillation", type=int, default=0, choices=range(6),
                    help="the twinkle's position for the run (default 0)")
parser.add_argument("--after", type=float, default=20.0,
                    help="seconds of each measurement after the trials (default 20)")
args = parser.parse_args()


def write_conditions(scratch):
    """A configuration folder of the run's own: the user's kept conditions
    are never read."""
    folder = tempfile.mkdtemp(prefix="config-", dir=scratch)
    os.makedirs(os.path.join(folder, "velmaris"))
    with open(os.path.join(folder, "velmaris", "velmaris.conf"), "w") as handle:
        handle.write(f"[conditions]\neclat=0\nscintillation={args.scintillation}\n"
                     "fondu=0\nbips=false\n")
    return folder


def measure_after(session, program, title):
    """The program's and the X server's figures, per second, over --after
    seconds."""
    before = sample(program.pid), sample(session.x_server.pid)
    time.sleep(args.after)
    after = sample(program.pid), sample(session.x_server.pid)
    session.check_alive(program, "the program")
    print(f"{title},")
    print("  velmaris, per second over " + describe(before[0], after[0], 1.0, "second"))
    print("  X server, per second over " + describe(before[1], after[1], 1.0, "second"))


print(f"idle cost, scintillation {args.scintillation}; {benchlib.load_line()}")
with benchlib.Session(args.build, args.data, accessibility=True) as session:
    layout = benchlib.learn_layout(session)
    config = write_conditions(session.scratch)
    program = session.start_program(accessibility=False, extra_env={"XDG_CONFIG_HOME": config})
    window = session.find_window()
    origin = session.window_origin(window)
    if origin != layout["origin"]:
        raise benchlib.BenchError(f"the window moved: {origin} != {layout['origin']}")
    time.sleep(args.settle)

    before = sample(program.pid)
    time.sleep(args.idle)
    after = sample(program.pid)
    session.check_alive(program, "the program")
    print("main window shown, nothing happening,")
    print("  per minute over " + describe(before, after, 60.0, "minute"))

    watcher = benchlib.Watcher(session, ["star", hex(window), *map(str, layout["star"])])
    x, y = origin[0] + layout["button"][0], origin[1] + layout["button"][1]
    total_before = None
    worst = None
    for index in range(args.trials):
        watcher.drain()
        start = sample(program.pid)
        total_before = total_before or start
        session.click(x, y)
        hidden = shown = None
        deadline = time.monotonic() + 15
        while shown is None and time.monotonic() < deadline:
            kind, ns, _ = watcher.next(timeout=0.5)
            if kind == "hidden":
                hidden = ns
            elif kind == "shown" and hidden is not None:
                shown = ns
        end = sample(program.pid)
        session.check_alive(program, "the program")
        if shown is None:
            raise benchlib.BenchError("a trial did not end on the screen")
        print(f"  trial {index + 1}: " + describe(start, end, 1.0, "second"))
        total_after = end
        rate = (end[1] - start[1]) / (end[3] - start[3]) if end[1] is not None else None
        worst = rate if worst is None or (rate is not None and rate > worst) else worst
    print(f"during {args.trials} trials (from each click to the star's return),")
    print("  per second over " + describe(total_before, total_after, 1.0, "second"))
    if worst is not None:
        print(f"  the busiest trial ran {worst * 1000:.2f} ms per second")

    # The star stays on the field after the last trial. The watcher goes,
    # so that the X server's figures are the program's doing alone.
    session.end(watcher.process)
    time.sleep(args.settle)
    measure_after(session, program, "after the trials, the star on the field, the window shown")
    session.run("xdotool", "windowunmap", "--sync", str(window))
    time.sleep(1.0)
    measure_after(session, program, "the window hidden (unmapped)")
    session.run("xdotool", "windowmap", "--sync", str(window))
    time.sleep(1.0)
    measure_after(session, program, "the window shown again")
print(f"after the run: {benchlib.load_line()}")
