#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The tops: how long after a key reaches the X server the program reads
it, and how the reaction times that the program logs compare with the
screen.

1. Reading delay. velmaris_trials tops gives the star field the focus and
   prints the steady clock reading (CLOCK_MONOTONIC) of every top; this
   script presses Space through XTest at random moments, stamped on the same
   clock just before the request is made, and prints reading minus press:
   median, 90th percentile and maximum, on a quiet machine and under two
   CPU hogs (busy loops, one per CPU of a two-CPU machine), and with
   accessibility on.
2. Logged reactions against the screen. velmaris runs its trials as usual;
   velmaris_xwatch stamps the star's disappearance and return on the screen
   (DAMAGE); the script presses Space a chosen time after each of them and
   reads the trial's line in reactions.csv. Prints the logged reaction minus
   the press's delay after the screen's edge, per edge: the program's
   reading delay plus the time from the program's edge reading to the
   screen, give or take the log's half millisecond; and the logged
   duration minus the one on the screen.

Each case runs in an X server of its own: "quiet"; "hogs", under two CPU
hogs (busy loops, one per CPU of a two-CPU machine); "atspi", with
accessibility on and a client that queries every control of the main
window 20 times a second through AT-SPI, as a screen reader or a test
harness does. With --max-delay the trials run at that pace through
velmaris_trials program (the program's own windows); without it, velmaris
at its own (delays up to 5 s).

Usage: /usr/bin/python3 bench/reactions.py [--build DIR] [--presses N] [--trials N]
                                          [--cases quiet,hogs,atspi] [--max-delay MS]
                                          [--skip-presses] [--verbose]
"""

import ctypes
import ctypes.util
import os
import queue
import random
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import benchlib  # noqa: E402

SPACE_KEYSYM = 0x20
CASES = ("quiet", "hogs", "atspi")


class KeyPresser:
    """Presses Space through XTest on its own connection to the X server."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise benchlib.BenchError(f"cannot open display {display}")
        self.keycode = self.x11.XKeysymToKeycode(self.display, SPACE_KEYSYM)

    def press(self):
        """Presses and releases Space; returns the stamp of the press, ns,
        taken just before the request is made: the delays measured from it
        include the request's way to the X server."""
        stamp = time.monotonic_ns()
        self.xtst.XTestFakeKeyEvent(self.display, self.keycode, 1, 0)
        self.x11.XFlush(self.display)
        time.sleep(0.01)
        self.xtst.XTestFakeKeyEvent(self.display, self.keycode, 0, 0)
        self.x11.XFlush(self.display)
        return stamp

    def close(self):
        self.x11.XCloseDisplay(self.display)


def lines_of(process):
    """The process's output lines, through a queue."""
    lines = queue.Queue()

    def read():
        for raw in process.stdout:
            lines.put(raw.decode().strip())
        lines.put(None)
    threading.Thread(target=read, daemon=True).start()
    return lines


def accessible_env(session):
    env = session.env()
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["QT_ACCESSIBILITY"] = "1"
    return env


def reading_delays(session, presses, case):
    workers = session.hogs(2 if case == "hogs" else 0)
    env = accessible_env(session) if case == "atspi" else None
    runner = session.spawn("tops", [os.path.join(session.build_dir, "bench", "velmaris_trials"),
                                    "tops", str(presses)], env=env, stdout=subprocess.PIPE)
    lines = lines_of(runner)
    if lines.get(timeout=20) != "ready":
        raise benchlib.BenchError("velmaris_trials tops did not start")
    if case == "atspi":
        workers.append(session.atspi_client(runner.pid))
    window = session.find_window()
    session.run("xdotool", "windowfocus", "--sync", str(window))
    keys = KeyPresser(session.display)
    delays = []
    try:
        for _ in range(presses):
            time.sleep(random.uniform(0.02, 0.08))
            stamp = keys.press()
            line = lines.get(timeout=5)
            if not line or not line.startswith("top "):
                raise benchlib.BenchError(f"expected a top, got {line!r}")
            delays.append((int(line.split()[1]) - stamp) / 1e6)
    finally:
        keys.close()
        session.end(runner)
        for worker in workers:
            session.end(worker)
    return delays


def logged_against_screen(session, layout, trials, verbose, case, max_delay):
    phase_limit_s = (5000 if max_delay is None else max_delay) / 1000 + 2.0
    workers = session.hogs(2 if case == "hogs" else 0)
    env = accessible_env(session) if case == "atspi" else None
    workdir = session.workdir()
    program = session.spawn("velmaris", session.program_command(max_delay), env=env, cwd=workdir)
    window = session.find_window()
    if case == "atspi":
        workers.append(session.atspi_client(program.pid))
    wx, wy = session.window_origin(window)
    session.run("xdotool", "windowfocus", "--sync", str(window))
    watcher = benchlib.Watcher(session, ["star", hex(window), *map(str, layout["star"])])
    keys = KeyPresser(session.display)
    log = os.path.join(workdir, "reactions.csv")
    bx, by = layout["button"]

    def logged_lines():
        if not os.path.exists(log):
            return []
        with open(log, "rb") as handle:
            return handle.read().decode("ascii").split("\r\n")[1:-1]

    def tap_after(kind, delay_s, cancel=None):
        """Waits for the screen edge, then presses Space delay_s after it.
        Returns (edge ns, press ns), or None when the other edge came first."""
        edge = None
        deadline = time.monotonic() + phase_limit_s
        while edge is None and time.monotonic() < deadline:
            seen, ns, _ = watcher.next(timeout=0.1)
            if seen == kind:
                edge = ns
        if edge is None:
            return None
        while time.monotonic_ns() < edge + int(delay_s * 1e9):
            seen, ns, _ = watcher.next(timeout=0.001)
            if cancel and seen == cancel:
                return None
        return edge, keys.press()

    rows, missed = [], 0
    try:
        for _ in range(trials):
            before = len(logged_lines())
            watcher.drain()
            session.click_away(wx + bx, wy + by)
            planned = (random.uniform(0.15, 0.35), random.uniform(0.15, 0.35))
            vanished = tap_after("hidden", planned[0], cancel="shown")
            back = tap_after("shown", planned[1]) if vanished else None
            if back is None:
                missed += 1
                time.sleep(2.5)  # the trial's tops complete on their own
                continue
            benchlib.wait_until("the trial's line", lambda: len(logged_lines()) > before, timeout=5)
            fields = logged_lines()[-1].split(",")
            logged = [float(fields[4]) * 1000, float(fields[5]) * 1000, float(fields[3]) * 1000]
            seen = [(vanished[1] - vanished[0]) / 1e6, (back[1] - back[0]) / 1e6,
                    (back[0] - vanished[0]) / 1e6]
            rows.append(tuple(logged[i] - seen[i] for i in range(3)))
            if verbose:
                print(f"  trial {len(rows):3d}: logged {logged[0]:8.3f} {logged[1]:8.3f} "
                      f"{logged[2]:9.3f} ms, on the screen {seen[0]:8.3f} {seen[1]:8.3f} "
                      f"{seen[2]:9.3f} ms")
            time.sleep(0.2)
    finally:
        keys.close()
        for worker in workers:
            session.end(worker)
        session.end(program)
    return rows, missed


parser = benchlib.argument_parser(__doc__)
parser.add_argument("--presses", type=int, default=200, help="Space presses per case (200)")
parser.add_argument("--trials", type=int, default=20, help="trials against the screen (20)")
parser.add_argument("--cases", default=",".join(CASES), help="cases, among quiet,hogs,atspi")
parser.add_argument("--max-delay", type=int, default=None,
                    help="longest delay, ms (default: the program's own, 5000)")
parser.add_argument("--skip-presses", action="store_true", help="only the trials")
parser.add_argument("--verbose", action="store_true", help="print every trial")
args = parser.parse_args()
cases = [case for case in args.cases.split(",") if case]
if any(case not in CASES for case in cases):
    parser.error(f"--cases takes {','.join(CASES)}")


def report_trials(title, rows, missed):
    if rows:
        print(f"logged minus on the screen, {title}:")
        print(benchlib.summary("reaction to the disappearance", [row[0] for row in rows]))
        print(benchlib.summary("reaction to the reappearance", [row[1] for row in rows]))
        print(benchlib.summary("duration", [row[2] for row in rows]))
    print(f"  trials without both taps: {missed}; {benchlib.load_line()}")


pace = "default pace" if args.max_delay is None else f"delays up to {args.max_delay} ms"
print(f"tops: {args.presses} presses per case, {args.trials} trials, {pace}; "
      f"{benchlib.load_line()}")
# The places of the start button and of the star, learnt through AT-SPI;
# the same in every session (same screen, same fonts).
with benchlib.Session(args.build, args.data, accessibility=True) as session:
    layout = benchlib.learn_layout(session, session.program_command(args.max_delay))
for case in cases:
    # With accessibility on, key events make a round trip to the
    # accessibility registry before the program sees them.
    with benchlib.Session(args.build, args.data, accessibility=case == "atspi") as session:
        if not args.skip_presses:
            delays = reading_delays(session, args.presses, case)
            print(benchlib.summary(f"read after the press, {case}", delays))
            print(f"  after this case: {benchlib.load_line()}")
        report_trials(case, *logged_against_screen(session, layout, args.trials, args.verbose,
                                                   case, args.max_delay))
print(f"after the run: {benchlib.load_line()}")
