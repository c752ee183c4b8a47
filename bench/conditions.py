#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The observing conditions measured against the screen and the sound.

velmaris_trials runs trials on the program's windows on a private X server
(xcb) under the conditions written to a private configuration folder, and
prints the instants (CLOCK_MONOTONIC) of each trial's start, and of the two
edges as the program read them; velmaris_xwatch light stamps every damage
of the star's square with the level of its brightest pixel, read back
with XGetImage. Three measurements:

  fades    --fade-ms 100|500: each edge's instant on the screen is the first
           frame at or past half the light (the level turned back into
           linear light); the program's duration against the screen's.
  twinkle  scintillation at 5 against 0: the CPU time of the trials (a share
           of one core), and the gaps between the frames on the screen next
           to each edge, against the frame interval: a gap of more than one
           and a half intervals is a skipped frame.
  pips     the second pips, on a PulseAudio null sink of the script's own,
           whose monitor velmaris_pipwatch records: each onset against the
           trial's start as the screen showed it, and successive onsets.
  announced
           "Événement annoncé" at ± 1 s: the program's durations against the
           screen's with instant edges; then, with the twinkle at 5 so that
           the star's square changes at every frame, the gaps between the
           frames within 100 ms of each edge, with and without the
           announcement, those of edges within 100 ms of a whole second
           (when the figures are drawn anew) apart.

--hogs N runs N processes that keep a core busy for the whole measurement.

Usage: /usr/bin/python3 bench/conditions.py fades|twinkle|pips|announced [--build DIR]
       [--trials N] [--max-delay MS] [--fade-ms MS] [--hogs N]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import benchlib  # noqa: E402

MATCH_WINDOW_NS = 300_000_000
# The program reads an edge once the X server has its picture: the change
# comes on the screen a little before that reading.
EARLY_NS = 20_000_000
FADE_POSITIONS = {0: 0, 20: 1, 50: 2, 100: 3, 200: 4, 500: 5}

parser = benchlib.argument_parser(__doc__)
parser.add_argument("mode", choices=("fades", "twinkle", "pips", "announced"))
parser.add_argument("--trials", type=int, default=40, help="number of trials (default 40)")
parser.add_argument("--max-delay", type=int, default=1500,
                    help="MaxDelay for the run, ms (default 1500)")
parser.add_argument("--fade-ms", type=int, default=100, choices=sorted(FADE_POSITIONS),
                    help="the fade, for fades (default 100)")
parser.add_argument("--hogs", type=int, default=0, help="CPU hogs beside the run (default 0)")
parser.add_argument("--verbose", action="store_true", help="print every trial")
args = parser.parse_args()


def linear(level):
    """The light of a pixel level, 0 to 1, undoing the sRGB encoding."""
    value = level / 255.0
    return value / 12.92 if value <= 0.04045 else ((value + 0.055) / 1.055) ** 2.4


def write_conditions(folder, eclat=0, scintillation=0, fondu=0, bips=False, annonce=0):
    os.makedirs(os.path.join(folder, "velmaris"), exist_ok=True)
    with open(os.path.join(folder, "velmaris", "velmaris.conf"), "w") as handle:
        handle.write(f"[conditions]\neclat={eclat}\nscintillation={scintillation}\n"
                     f"fondu={fondu}\nbips={'true' if bips else 'false'}\nannonce={annonce}\n")


def cpu_of(pid):
    try:
        return benchlib.cpu_seconds(pid)
    except OSError:
        return None


def start_null_sink(session):
    """A PulseAudio server with a null sink, on a socket of the session's."""
    runtime = tempfile.mkdtemp(prefix="pulse-", dir=session.scratch)
    os.chmod(runtime, 0o700)
    socket = os.path.join(runtime, "native")
    env = session.env()
    env.update({"HOME": runtime, "XDG_RUNTIME_DIR": runtime, "XDG_CONFIG_HOME": runtime})
    session.spawn("pulseaudio", [
        "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
        "-F", "/dev/null", "--load=module-null-sink sink_name=velmaris_null rate=48000",
        f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1"], env=env)
    server = f"unix:{socket}"
    benchlib.wait_until("the PulseAudio server", lambda: subprocess.run(
        ["pactl", "--server", server, "info"], capture_output=True, timeout=5).returncode == 0,
        timeout=15)
    return server


def run_trials(session, layout, config, extra_env=None, trials=args.trials):
    """Runs the trials; returns their listed instants, the light events on
    the screen, the CPU seconds and the wall seconds of the run."""
    env = session.env()
    env["XDG_CONFIG_HOME"] = config
    env.update(extra_env or {})
    runner = session.spawn("trials", [
        os.path.join(session.build_dir, "bench", "velmaris_trials"), "lateness",
        str(trials), str(args.max_delay), "3000", "list"], env=env, stdout=subprocess.PIPE)
    window = session.find_window()
    origin = session.window_origin(window)
    if origin != layout["origin"]:
        raise benchlib.BenchError(f"the window is elsewhere: {origin} != {layout['origin']}")
    watcher = benchlib.Watcher(session, ["light", hex(window), *map(str, layout["star"])])
    began = time.monotonic()
    cpu = None
    lines = []
    while runner.poll() is None:
        cpu = cpu_of(runner.pid) or cpu
        time.sleep(0.1)
    wall = time.monotonic() - began
    lines = runner.stdout.read().decode().splitlines()
    time.sleep(0.2)
    lights = []
    while True:
        kind, ns, rest = watcher.next(timeout=0.1)
        if kind is None or kind == "eof":
            break
        if kind == "light":
            lights.append((ns, int(rest)))
    session.end(watcher.process)
    listed = []
    for line in lines:
        words = line.split()
        if words[:1] == ["trial"]:
            listed.append({"taken": int(words[6]), "given": int(words[7]),
                           "start": int(words[9])})
        else:
            print("  " + line)
    return listed, lights, cpu, wall


def half_light_edges(lights, eclat_light=1.0):
    """The screen's edges: the first frame at or below half the light after
    one above it, and the first at or above half after one below."""
    edges = []
    shown = None
    for ns, level in lights:
        light = linear(level) / eclat_light
        if shown is None:
            shown = light > 0.5
        elif shown and light <= 0.5:
            shown = False
            edges.append(("hidden", ns))
        elif not shown and light >= 0.5:
            shown = True
            edges.append(("shown", ns))
    return edges


def first_after(events, kind, instant):
    for seen, ns in events:
        if seen == kind and instant - EARLY_NS <= ns < instant + MATCH_WINDOW_NS:
            return ns
    return None


def edge_frame(lights, edge, side):
    """The index of an edge's own frame: for the disappearance (side -1)
    the first black one from just before its reading, for the return the
    first with the star in it."""
    for i, (ns, level) in enumerate(lights):
        if ns >= edge - EARLY_NS and (level == 0) == (side < 0):
            return i
    return None


def measure_fades(session, layout):
    config = tempfile.mkdtemp(prefix="config-", dir=session.scratch)
    write_conditions(config, fondu=FADE_POSITIONS[args.fade_ms])
    listed, lights, _, _ = run_trials(session, layout, config)
    screen = half_light_edges(lights)
    differences, unmatched = [], 0
    for index, trial in enumerate(listed):
        hidden = first_after(screen, "hidden", trial["taken"])
        shown = first_after(screen, "shown", trial["given"])
        if hidden is None or shown is None:
            unmatched += 1
            continue
        differences.append(((trial["given"] - trial["taken"]) - (shown - hidden)) / 1e6)
        if args.verbose:
            print(f"  trial {index + 1:3d}: program {(trial['given'] - trial['taken']) / 1e6:9.3f}"
                  f" ms, screen {(shown - hidden) / 1e6:9.3f} ms, half light on screen "
                  f"{(hidden - trial['taken']) / 1e6:6.3f} and {(shown - trial['given']) / 1e6:6.3f}"
                  f" ms after the readings")
    print(f"fades of {args.fade_ms} ms, {len(differences)} trials, {len(lights)} frames seen:")
    if differences:
        print(benchlib.summary("shown duration - half-light duration on screen", differences))
        print(f"  mean {statistics.mean(differences):+.3f} ms, largest |difference| "
              f"{max(abs(d) for d in differences):.3f} ms, over 5 ms: "
              f"{sum(abs(d) > 5 for d in differences)}")
    print(f"trials without both half-light frames on the screen: {unmatched}")


def frame_gaps(lights, listed):
    """The gaps between screen frames next to each edge: before the
    disappearance's frame and after the return's."""
    times = [ns for ns, _ in lights]
    gaps = []
    for trial in listed:
        for edge, side in ((trial["taken"], -1), (trial["given"], +1)):
            i = edge_frame(lights, edge, side)
            if i is None:
                continue
            j = i + side
            if 0 <= j < len(times):
                gaps.append(abs(times[i] - times[j]) / 1e6)
    return gaps


def measure_twinkle(session, layout):
    results = {}
    for position in (0, 5):
        config = tempfile.mkdtemp(prefix="config-", dir=session.scratch)
        write_conditions(config, scintillation=position)
        listed, lights, cpu, wall = run_trials(session, layout, config)
        results[position] = (cpu, wall, len(listed))
        print(f"scintillation {position}: {len(listed)} trials in {wall:.1f} s, CPU "
              f"{cpu:.2f} s, {100 * cpu / wall:.1f} % of one core, {len(lights)} frames seen")
        if position:
            gaps = frame_gaps(lights, listed)
            interval = 1000.0 / 60
            print(benchlib.summary("gap between frames next to an edge", gaps))
            print(f"  gaps over 1.5 frame intervals ({1.5 * interval:.1f} ms), skipped frames: "
                  f"{sum(g > 1.5 * interval for g in gaps)} of {len(gaps)}")
    (cpu0, wall0, _), (cpu5, wall5, _) = results[0], results[5]
    print(f"scintillation 5 against 0: {100 * (cpu5 / wall5 - cpu0 / wall0):+.1f} % of one core")


def near_edge_gaps(lights, listed, within_ns=100_000_000):
    """The gaps between successive screen frames within 100 ms of each edge
    on the side where the star is in sight, the edge's own frame included:
    before the disappearance's frame and after the return's. Those of edges
    within 100 ms of a whole second since the trial's start, when the
    announcement's figures change, are kept apart from the others."""
    times = [ns for ns, _ in lights]
    near_second, others = [], []
    for trial in listed:
        for edge, side in ((trial["taken"], -1), (trial["given"], +1)):
            own = edge_frame(lights, edge, side)
            if own is None:
                continue
            if side < 0:
                frames = [ns for ns in times[:own + 1] if ns >= edge - within_ns]
            else:
                frames = [ns for ns in times[own:] if ns <= edge + within_ns]
            since = (edge - trial["start"]) % 1_000_000_000
            close = min(since, 1_000_000_000 - since) < within_ns
            (near_second if close else others).extend(
                (b - a) / 1e6 for a, b in zip(frames, frames[1:]))
    return near_second, others


def measure_announced(session, layout):
    config = tempfile.mkdtemp(prefix="config-", dir=session.scratch)
    write_conditions(config, annonce=2)
    listed, lights, _, _ = run_trials(session, layout, config)
    screen = half_light_edges(lights)
    differences = []
    for trial in listed:
        hidden = first_after(screen, "hidden", trial["taken"])
        shown = first_after(screen, "shown", trial["given"])
        if hidden is not None and shown is not None:
            differences.append(((trial["given"] - trial["taken"]) - (shown - hidden)) / 1e6)
            if args.verbose:
                seconds = [((edge - trial["start"]) % 1_000_000_000) / 1e6
                           for edge in (trial["taken"], trial["given"])]
                print(f"  difference {differences[-1]:+7.3f} ms; edges "
                      f"{seconds[0]:5.0f} and {seconds[1]:5.0f} ms past a whole second")
    print(f"announced ± 1 s, instant edges: {len(differences)} of {len(listed)} trials matched")
    if differences:
        print(benchlib.summary("shown duration - duration on screen", differences))
        print(f"  mean {statistics.mean(differences):+.3f} ms, largest |difference| "
              f"{max(abs(d) for d in differences):.3f} ms")
    interval = 1000.0 / 60
    for annonce in (0, 2):
        config = tempfile.mkdtemp(prefix="config-", dir=session.scratch)
        write_conditions(config, scintillation=5, annonce=annonce)
        listed, lights, cpu, wall = run_trials(session, layout, config)
        near_second, others = near_edge_gaps(lights, listed)
        print(f"scintillation 5, {'announced ± 1 s' if annonce else 'unannounced'}: "
              f"{len(listed)} trials, CPU {100 * cpu / wall:.1f} % of one core, "
              f"{len(lights)} frames seen")
        for name, gaps in (("edges within 100 ms of a whole second", near_second),
                           ("other edges", others)):
            if gaps:
                print(benchlib.summary(f"gap between frames within 100 ms of {name}", gaps))
                print(f"  over 1.5 frame intervals ({1.5 * interval:.1f} ms), skipped frames: "
                      f"{sum(g > 1.5 * interval for g in gaps)} of {len(gaps)}")


def measure_pips(session, layout):
    server = start_null_sink(session)
    env = session.env()
    env["PULSE_SERVER"] = server
    heard = os.path.join(session.scratch, "onsets.txt")
    with open(heard, "wb") as output:
        recorder = session.spawn("pipwatch", [
            os.path.join(session.build_dir, "bench", "velmaris_pipwatch"),
            "velmaris_null.monitor"], env=env, stdout=output)
    benchlib.wait_until("the recorder", lambda: os.path.getsize(heard) > 0)
    config = tempfile.mkdtemp(prefix="config-", dir=session.scratch)
    write_conditions(config, bips=True)
    listed, lights, _, _ = run_trials(session, layout, config, {"PULSE_SERVER": server})
    time.sleep(0.5)
    session.end(recorder)
    onsets = []
    with open(heard) as recorded:
        lines = recorded.read().splitlines()
    for line in lines:
        words = line.split()
        if words[:1] == ["onset"]:
            onsets.append(int(words[1]))
    errors, first, spacing = [], [], []
    # Each trial's start on the screen: the first damage of the star's
    # square from the click on.
    starts = [next((ns for ns, _ in lights if ns >= trial["start"]), None) for trial in listed]
    for index, trial in enumerate(listed):
        seen = starts[index]
        if seen is None:
            continue
        # Its pips: up to the return, and a pip begun before it; the next
        # trial's are its own.
        until = min(trial["given"] + 60_000_000,
                    starts[index + 1] - 1_000_000 if index + 1 < len(starts) else 1 << 62)
        mine = [ns for ns in onsets if seen - 10_000_000 <= ns < until]
        previous = None
        for ns in mine:
            # The second it belongs to.
            k = round((ns - seen) / 1e9)
            error = (ns - seen) / 1e6 - 1000.0 * k
            (first if k == 0 else errors).append(error)
            # The first pip is heard from where the output takes it up: the
            # spacing counts from the second pip on.
            if k >= 1 and previous is not None:
                spacing.append((ns - previous) / 1e6)
            previous = ns if k >= 1 else None
        if args.verbose:
            print(f"  trial {index + 1:3d}: " + " ".join(
                f"{(ns - seen) / 1e6:8.2f}" for ns in mine) + " ms after the start on screen")
    print(f"pips over {len(listed)} trials: {len(onsets)} onsets recorded")
    if not first or not spacing:
        return
    print(benchlib.summary("first pip's onset - start on screen", first))
    print(benchlib.summary("other onsets - their second after the start", errors))
    print(benchlib.summary("successive onsets apart", spacing))
    if first + errors:
        print(f"  onsets more than 10 ms from their second: "
              f"{sum(abs(e) > 10 for e in first + errors)} of {len(first + errors)}; "
              f"successive onsets more than 1 ms from 1000 ms apart: "
              f"{sum(abs(s - 1000) > 1 for s in spacing)} of {len(spacing)}")


print(f"conditions {args.mode}, {args.trials} trials with MaxDelay {args.max_delay} ms, "
      f"{args.hogs} CPU hogs; {benchlib.load_line()}")
with benchlib.Session(args.build, args.data, accessibility=True) as session:
    layout = benchlib.learn_layout(session)
    for index in range(args.hogs):
        session.spawn(f"hog{index}", [sys.executable, "-c", "while True: pass"])
    {"fades": measure_fades, "twinkle": measure_twinkle, "pips": measure_pips,
     "announced": measure_announced}[args.mode](session, layout)
print(f"after the run: {benchlib.load_line()}")
