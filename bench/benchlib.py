# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""What the benchmark scripts share: a private X server, optionally a
session bus with the accessibility bus, the programs started under them,
the X watcher's event stream, and reading of /proc.

Every process started here gets a session of its own and is ended by its
id when the benchmark ends, failures included."""

import argparse
import os
import queue
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

XVFB = "/usr/bin/Xvfb"
DBUS_DAEMON = "/usr/bin/dbus-daemon"
ATSPI_LAUNCHERS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")
SCREEN = "1024x768x24"
MAIN_TITLE = "Velmaris"
DOCUMENTS = ("aide.html", "gpl_en.html")
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
PAGE_KB = os.sysconf("SC_PAGE_SIZE") // 1024


class BenchError(RuntimeError):
    pass


def wait_until(what, predicate, timeout=10.0, interval=0.02):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise BenchError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def default_build_dir():
    here = os.path.dirname(os.path.realpath(__file__))
    return os.path.join(os.path.dirname(here), "build")


def argument_parser(description):
    """The options every benchmark takes: --build and --data."""
    parser = argparse.ArgumentParser(description=description,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=default_build_dir(),
                        help="build directory holding velmaris and bench/ (default: build/)")
    parser.add_argument("--data", default=os.path.join(os.path.dirname(os.path.dirname(
        os.path.realpath(__file__))), "data"), help="directory of aide.html and gpl_en.html")
    return parser


def median(values):
    return statistics.median(values) if values else float("nan")


def summary(name, values):
    """One line of figures in milliseconds: median, mean, deviation, 90th
    percentile, maximum and minimum."""
    ordered = sorted(values)
    p90 = ordered[min(len(ordered) - 1, int(0.9 * (len(ordered) - 1) + 0.5))]
    return (f"  {name:36s} median {statistics.median(values):7.3f}  mean "
            f"{statistics.mean(values):7.3f}  sd {statistics.pstdev(values):6.3f}  p90 {p90:7.3f}  "
            f"max {max(values):7.3f}  min {min(values):7.3f} ms ({len(values)})")


def load_line():
    with open("/proc/loadavg") as handle:
        fields = handle.read().split()
    return f"load average {fields[0]} {fields[1]} {fields[2]} on {os.cpu_count()} CPUs"


# ---- /proc -------------------------------------------------------------

def cpu_seconds(pid):
    """utime + stime of a process, in seconds (clock-tick resolution)."""
    with open(f"/proc/{pid}/stat") as handle:
        text = handle.read()
    # The command name may hold spaces: fields are counted after its ')'.
    fields = text[text.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def schedstat_seconds(pid):
    """Time on CPU of all the process's threads from schedstat, in seconds
    (nanosecond resolution), or None where the kernel does not offer it."""
    total = 0
    try:
        for tid in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{tid}/schedstat") as handle:
                total += int(handle.read().split()[0])
    except (OSError, ValueError):
        return None
    return total / 1e9


def wakeups(pid):
    """Voluntary and involuntary context switches of all threads."""
    voluntary = involuntary = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as handle:
                for line in handle:
                    if line.startswith("voluntary_ctxt_switches:"):
                        voluntary += int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches:"):
                        involuntary += int(line.split()[1])
        except OSError:
            pass
    return voluntary, involuntary


def status_kb(pid, field):
    with open(f"/proc/{pid}/status") as handle:
        for line in handle:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise BenchError(f"no {field} in /proc/{pid}/status")


def pss_kb(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as handle:
            for line in handle:
                if line.startswith("Pss:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


# ---- the X watcher -----------------------------------------------------

class Watcher:
    """Runs velmaris_xwatch and hands its lines over as (kind, ns, rest)."""

    def __init__(self, session, args):
        self.session = session
        self.events = queue.Queue()
        self.process = session.spawn("xwatch", [session.xwatch, *args],
                                     stdout=subprocess.PIPE)
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()
        kind, ns, rest = self.next(timeout=10)
        if kind != "ready":
            raise BenchError(f"the watcher said {kind!r} first")
        self.ready_state = rest

    def _read(self):
        for raw in self.process.stdout:
            words = raw.decode().split()
            if len(words) >= 2:
                self.events.put((words[0], int(words[1]), " ".join(words[2:])))
        self.events.put(("eof", self.process.wait(), ""))

    def next(self, timeout):
        try:
            return self.events.get(timeout=timeout)
        except queue.Empty:
            return None, None, None

    def drain(self):
        while True:
            try:
                self.events.get_nowait()
            except queue.Empty:
                return


# ---- the session ---------------------------------------------------------

class Session:
    """One private X server and, when asked, a session bus and an
    accessibility bus; the programs started in it."""

    def __init__(self, build_dir, data_dir, accessibility=False, session_bus=None):
        self.build_dir = os.path.realpath(build_dir)
        self.data_dir = os.path.realpath(data_dir)
        self.program = os.path.join(self.build_dir, "velmaris")
        self.bare = os.path.join(self.build_dir, "bench", "velmaris_bare")
        self.xwatch = os.path.join(self.build_dir, "bench", "velmaris_xwatch")
        for path in (self.program, self.bare, self.xwatch):
            if not os.access(path, os.X_OK):
                raise BenchError(f"{path} is not built")
        self.accessibility = accessibility
        self.session_bus = accessibility if session_bus is None else session_bus
        self.scratch = tempfile.mkdtemp(prefix="velmaris-bench-")
        # The program runs from a copy of itself under another name, so that
        # whatever ends stray "velmaris" processes by name on a shared
        # machine leaves the measured one alone. The copy is the same file.
        copy = os.path.join(self.scratch, "vlm-measured")
        shutil.copy2(self.program, copy)
        # The charts module is loaded from beside the program: without it
        # "Réactions..." could not show its charts.
        for name in os.listdir(self.build_dir):
            if name.startswith("velmaris_charts") and name.endswith(".so"):
                shutil.copy2(os.path.join(self.build_dir, name), os.path.join(self.scratch, name))
        self.program = copy
        self.processes = []
        self.display = None
        self.x_server = None
        self.bus_address = None

    def __enter__(self):
        try:
            self._start_x()
            if self.session_bus:
                self._start_buses()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, kind, value, trace):
        self.close(keep_logs=kind is not None)
        return False

    def spawn(self, name, args, env=None, cwd=None, stdout=None):
        log = open(os.path.join(self.scratch, f"{name}-{len(self.processes)}.log"), "wb")
        process = subprocess.Popen(args, env=env if env is not None else self.env(), cwd=cwd,
                                   stdin=subprocess.DEVNULL,
                                   stdout=stdout if stdout is not None else log,
                                   stderr=log, start_new_session=True)
        log.close()
        self.processes.append((name, process))
        return process

    def check_alive(self, process, what):
        if process.poll() is not None:
            raise BenchError(f"{what} ended on its own during the measurement "
                             f"(status {process.returncode})")

    def end(self, process, timeout=5):
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait(timeout=timeout)
        self.processes = [(n, p) for n, p in self.processes if p is not process]
        if process.stdout:
            process.stdout.close()

    def close(self, keep_logs=False):
        for _, process in reversed(list(self.processes)):
            try:
                self.end(process)
            except Exception as error:  # noqa: BLE001 - keep ending the others
                print(f"could not end {process.pid}: {error}", file=sys.stderr)
        if keep_logs:
            print(f"logs kept in {self.scratch}", file=sys.stderr)
        else:
            shutil.rmtree(self.scratch, ignore_errors=True)

    def env(self):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("QT_", "XDG_", "WAYLAND", "DBUS_", "AT_SPI", "DESKTOP",
                                      "GNOME", "KDE"))}
        if self.display:
            env["DISPLAY"] = self.display
        # Without a bus of ours, point at none, so that no bus is launched
        # behind our back; both programs of a comparison see the same.
        env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address or "unix:path=/nonexistent/bus"
        env["XDG_RUNTIME_DIR"] = os.path.join(self.scratch, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        env["LC_ALL"] = "C.UTF-8"
        env["QT_QPA_PLATFORM"] = "xcb"
        return env

    def _start_x(self):
        for number in range(200, 300):
            if os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            display = f":{number}"
            process = self.spawn(f"xvfb{number}", [XVFB, display, "-nolisten", "tcp", "-screen",
                                                   "0", SCREEN, "-noreset"])

            def up():
                if process.poll() is not None:
                    return True
                return os.path.exists(f"/tmp/.X11-unix/X{number}") and subprocess.run(
                    ["xdpyinfo", "-display", display], capture_output=True,
                    timeout=5).returncode == 0
            wait_until(f"X server {display}", up, timeout=15)
            if process.poll() is None:
                self.display = display
                self.x_server = process
                return
            self.processes = [(n, p) for n, p in self.processes if p is not process]
        raise BenchError("no free display number")

    def _start_buses(self):
        bus = self.spawn("session-bus", [DBUS_DAEMON, "--session", "--nofork", "--nopidfile",
                                         "--print-address=1"], stdout=subprocess.PIPE)
        line = bus.stdout.readline()
        if not line:
            raise BenchError("the session bus did not start")
        self.bus_address = line.decode().strip()
        if not self.accessibility:
            return
        launcher = next((path for path in ATSPI_LAUNCHERS if os.path.exists(path)), None)
        if launcher is None:
            raise BenchError("at-spi-bus-launcher is not installed (package at-spi2-core)")
        self.spawn("atspi", [launcher, "--launch-immediately"])
        wait_until("the accessibility bus", lambda: "unix:" in subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=self.env(), capture_output=True, text=True,
            timeout=5).stdout, timeout=15)
        os.environ["DISPLAY"] = self.display
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address

    def workdir(self):
        """A fresh working directory holding the program's two documents."""
        path = tempfile.mkdtemp(prefix="work-", dir=self.scratch)
        for name in DOCUMENTS:
            shutil.copy(os.path.join(self.data_dir, name), os.path.join(path, name))
        return path

    def start_program(self, command=None, accessibility=None, extra_env=None):
        env = self.env()
        env.update(extra_env or {})
        if self.accessibility if accessibility is None else accessibility:
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
            env["QT_ACCESSIBILITY"] = "1"
        command = list(command or [self.program])
        return self.spawn(os.path.basename(command[0]), command,
                          env=env, cwd=self.workdir())

    # ---- X helpers ---------------------------------------------------------

    def run(self, *args, timeout=10):
        result = subprocess.run(args, env=self.env(), capture_output=True, text=True,
                                timeout=timeout)
        if result.returncode != 0:
            raise BenchError(f"{args!r} failed: {result.stderr.strip()}")
        return result.stdout

    def find_window(self, title=MAIN_TITLE, timeout=15):
        def search():
            result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                     f"^{re.escape(title)}$"], env=self.env(),
                                    capture_output=True, text=True, timeout=5)
            return [int(word) for word in result.stdout.split()]
        return wait_until(f"a window titled {title!r}", search, timeout=timeout)[0]

    def window_origin(self, window):
        out = self.run("xwininfo", "-id", str(window))
        x = int(re.search(r"Absolute upper-left X:\s*(-?\d+)", out).group(1))
        y = int(re.search(r"Absolute upper-left Y:\s*(-?\d+)", out).group(1))
        return x, y

    def click(self, x, y):
        # One command: the pointer moves, then button 1 goes down and up.
        self.run("xdotool", "mousemove", str(x), str(y), "click", "1")

    def click_away(self, x, y):
        """Clicks, then moves the pointer off the window: Xvfb draws the
        pointer itself, and with it over the window the star's changes reach
        the watcher about 4 ms later."""
        self.run("xdotool", "mousemove", str(x), str(y), "click", "1", "mousemove", "1023", "767")

    def hogs(self, count):
        """Busy loops, one per CPU asked, ended with the session."""
        return [self.spawn("hog", [sys.executable, "-c", "while True: pass"])
                for _ in range(count)]

    def atspi_client(self, pid, rate=20):
        """A client that queries every control of the program's main window
        (name, role, states, place) `rate` times a second through AT-SPI, as
        a screen reader or a test harness does. Needs accessibility on."""
        client = self.spawn("atspi-client", [sys.executable, os.path.realpath(__file__), "query",
                                             str(pid), str(rate)], stdout=subprocess.PIPE)
        line = client.stdout.readline().decode().strip()
        if line != "querying":
            raise BenchError(f"the AT-SPI client said {line!r}")
        return client

    def program_command(self, max_delay=None):
        """The program; with max_delay (ms), the program's windows run by
        velmaris_trials with that longest delay, as the settings cannot set
        one below 10 s."""
        if max_delay is None:
            return [self.program]
        return [os.path.join(self.build_dir, "bench", "velmaris_trials"), "program",
                str(max_delay)]


# ---- accessibility ----------------------------------------------------------

class MainWindowReader:
    """The main window's controls, reached through AT-SPI."""

    def __init__(self, session, pid, timeout=20):
        import warnings
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            import pyatspi
        self.pyatspi = pyatspi

        def find_app():
            desktop = pyatspi.Registry.getDesktop(0)
            for index in range(desktop.childCount):
                app = desktop.getChildAtIndex(index)
                if app is not None and app.get_process_id() == pid:
                    return app
            return None
        app = wait_until("the program on the accessibility bus", find_app, timeout=timeout)

        def find_window():
            for index in range(app.childCount):
                child = app.getChildAtIndex(index)
                if child is not None and child.name == MAIN_TITLE:
                    return child
            return None
        self.root = wait_until("the main window's accessible", find_window, timeout=timeout)
        nodes = self._descendants(self.root)
        self.image = self._one(nodes, lambda n: n.name == "Champ d'étoile", "the star field")
        self.start_button = self._one(
            nodes, lambda n: n.getRoleName() == "push button" and n.name == "On y va !",
            "the start button")
        prefix = self._one(nodes, lambda n: n.getRoleName() == "label"
                           and n.name == "Le temps est de ", "the result line")
        line = self.extents(prefix)
        # The result label is the one on the result line, right of its prefix,
        # that is not the unit "s".
        candidates = [n for n in nodes if n.getRoleName() == "label"
                      and n.name not in ("Le temps est de ", "s")
                      and abs(self.extents(n)[1] - line[1]) <= 2 and self.extents(n)[0] > line[0]]
        if len(candidates) != 1:
            raise BenchError(f"expected one result label, found {[n.name for n in candidates]}")
        self.result = candidates[0]

    @staticmethod
    def _descendants(root):
        found, stack = [], [root]
        while stack:
            node = stack.pop()
            found.append(node)
            for index in range(node.childCount):
                child = node.getChildAtIndex(index)
                if child is not None:
                    stack.append(child)
        return found[1:]

    @staticmethod
    def _one(nodes, predicate, what):
        for node in nodes:
            if predicate(node):
                return node
        raise BenchError(f"{what} was not found through AT-SPI")

    def extents(self, node):
        box = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def result_text(self):
        """The figure as the label shows it. Once a trial has ended, the
        label's accessible name is the whole sentence, "Le temps est de
        0.34 s", around it."""
        name = self.result.name
        prefix, suffix = "Le temps est de ", " s"
        if name.startswith(prefix) and name.endswith(suffix):
            return name[len(prefix):-len(suffix)]
        return name

    def start_enabled(self):
        states = self.start_button.getState()
        return states.contains(self.pyatspi.STATE_SENSITIVE) or states.contains(
            self.pyatspi.STATE_ENABLED)


def learn_layout(session, command=None):
    """Places, relative to the main window, of the star square and of the
    start button, learnt once through AT-SPI from a run of the program (or
    of `command`) with accessibility on. The layout depends only on the
    fonts, so a later run without accessibility has the same places."""
    program = session.start_program(command, accessibility=True)
    try:
        window = session.find_window()
        wx, wy = session.window_origin(window)
        reader = MainWindowReader(session, program.pid)
        ix, iy, iw, ih = reader.extents(reader.image)
        bx, by, bw, bh = reader.extents(reader.start_button)
        # The star's 5 x 5 square: left edge at half the field's height,
        # top edge at half its width, both truncated.
        return {
            "origin": (wx, wy),
            "star": (ix - wx + ih // 2, iy - wy + iw // 2, 5, 5),
            "button": (bx - wx + bw // 2, by - wy + bh // 2),
        }
    finally:
        session.end(program)


def query_forever(pid, rate):
    """The AT-SPI client's loop: every control of the main window read
    `rate` times a second, until ended."""
    reader = MainWindowReader(None, pid)
    nodes = [reader.root] + reader._descendants(reader.root)
    print("querying", flush=True)
    period = 1.0 / rate
    next_round = time.monotonic()
    while True:
        for node in nodes:
            try:
                node.name
                node.getRoleName()
                node.getState()
                reader.extents(node)
            except Exception:  # noqa: BLE001 - a control gone or busy: go on
                pass
        next_round += period
        time.sleep(max(0.0, next_round - time.monotonic()))


if __name__ == "__main__" and len(sys.argv) == 4 and sys.argv[1] == "query":
    query_forever(int(sys.argv[2]), float(sys.argv[3]))
