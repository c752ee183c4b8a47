#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Timing fidelity: how well the duration that velmaris shows matches the
occultation as it happened on the screen.

The program runs on a private X server with accessibility on. For each
trial the start button is clicked with xdotool; velmaris_xwatch watches the
main window with the DAMAGE extension and stamps, on CLOCK_MONOTONIC, the
moments the star's 5 x 5 square turns from shown to hidden and back; the
duration the program shows is then read from its result label through
AT-SPI. Prints, per trial, the on-screen duration, the shown text and their
difference, then the mean, standard deviation and largest difference, and
how many shown values equal the on-screen duration rounded to hundredths.

--case hogs adds two CPU hogs (busy loops) for the run; --case atspi a
client that queries every control of the main window 20 times a second
through AT-SPI. With --max-delay the trials run at that pace through
velmaris_trials program (the program's own windows); without it, velmaris
at its own (delays up to 5 s).

Usage: /usr/bin/python3 bench/fidelity.py [--build DIR] [--trials N]
                                          [--case quiet|hogs|atspi] [--max-delay MS]
"""

import decimal
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import benchlib  # noqa: E402



def hundredths(seconds):
    """Seconds rounded to two decimals, ties away from zero, as text."""
    value = decimal.Decimal(repr(seconds)).quantize(decimal.Decimal("0.01"),
                                                    rounding=decimal.ROUND_HALF_UP)
    return f"{value:.2f}"


def wait_event(watcher, wanted, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        kind, ns, _ = watcher.next(timeout=max(0.0, deadline - time.monotonic()))
        if kind == wanted:
            return ns
        if kind == "eof":
            session.check_alive(program, "the program")
            raise benchlib.BenchError(f"the watcher ended with status {ns}")
    return None


parser = benchlib.argument_parser(__doc__)
parser.add_argument("--trials", type=int, default=20, help="number of trials (default 20)")
parser.add_argument("--case", choices=("quiet", "hogs", "atspi"), default="quiet")
parser.add_argument("--max-delay", type=int, default=None,
                    help="longest delay, ms (default: the program's own, 5000)")
args = parser.parse_args()
# No phase is longer than the longest delay and some lateness.
PHASE_LIMIT_S = (5000 if args.max_delay is None else args.max_delay) / 1000 + 2.0

pace = "default pace" if args.max_delay is None else f"delays up to {args.max_delay} ms"
print(f"timing fidelity, {args.trials} trials, {args.case}, {pace}; {benchlib.load_line()}")
rows = []
missed = 0
with benchlib.Session(args.build, args.data, accessibility=True) as session:
    session.hogs(2 if args.case == "hogs" else 0)
    program = session.start_program(session.program_command(args.max_delay))
    window = session.find_window()
    wx, wy = session.window_origin(window)
    reader = benchlib.MainWindowReader(session, program.pid)
    ix, iy, iw, ih = reader.extents(reader.image)
    # The star's 5 x 5 square: left edge at half the field's height, top
    # edge at half its width, both truncated.
    star = (ix - wx + ih // 2, iy - wy + iw // 2, 5, 5)
    bx, by, bw, bh = reader.extents(reader.start_button)
    watcher = benchlib.Watcher(session, ["star", hex(window), *map(str, star)])
    if args.case == "atspi":
        session.atspi_client(program.pid)
    print(f"main window 0x{window:x} at {wx},{wy}; star square {star} in the window")
    print(f"{'trial':>5s} {'on screen (s)':>14s} {'shown':>7s} {'shown - screen (ms)':>20s} "
          f"{'rounded':>8s}")
    for index in range(args.trials):
        benchlib.wait_until("the start button enabled", reader.start_enabled)
        watcher.drain()
        session.click_away(bx + bw // 2, by + bh // 2)
        hidden = wait_event(watcher, "hidden", PHASE_LIMIT_S)
        shown = wait_event(watcher, "shown", PHASE_LIMIT_S) if hidden is not None else None
        if shown is None:
            # An occultation too short to reach the screen, or a lost event:
            # nothing to compare. Let the trial end before the next one.
            missed += 1
            time.sleep(PHASE_LIMIT_S)
            print(f"{index + 1:5d} no hidden-then-shown pair seen on the screen")
            continue
        text = reader.result_text()
        on_screen = (shown - hidden) / 1e9
        difference_ms = (float(text) - on_screen) * 1000.0
        matches = text.strip() == hundredths(on_screen)
        rows.append((on_screen, text, difference_ms, matches))
        print(f"{index + 1:5d} {on_screen:14.6f} {text:>7s} {difference_ms:+20.3f} "
              f"{'same' if matches else 'DIFFERS':>8s}")

differences = [row[2] for row in rows]
if differences:
    print(f"shown - on screen over {len(rows)} trials: mean {statistics.mean(differences):+.3f} ms, "
          f"standard deviation "
          f"{statistics.stdev(differences) if len(differences) > 1 else float('nan'):.3f} ms, "
          f"largest |difference| {max(abs(d) for d in differences):.3f} ms")
    print(f"shown value equal to the on-screen duration rounded to hundredths: "
          f"{sum(row[3] for row in rows)} of {len(rows)}")
print(f"trials without a hidden-then-shown pair on the screen: {missed}")
print(f"after the run: {benchlib.load_line()}")
