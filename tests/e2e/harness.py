# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Runs the built program under a private X server, session bus and
accessibility registry, and drives it from outside: real X input events
through the XTEST extension (xdotool), screenshots of the root window,
and reading of the widgets through AT-SPI.

Every process started here is started in a session of its own and ended
by its id (and its process group) when the session ends, failures included.
"""

import ctypes
import ctypes.util
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import warnings

XVFB = "/usr/bin/Xvfb"
DBUS_DAEMON = "/usr/bin/dbus-daemon"
ATSPI_LAUNCHER_CANDIDATES = (
    "/usr/libexec/at-spi-bus-launcher",
    "/usr/lib/at-spi2-core/at-spi-bus-launcher",
)
SCREEN = (1024, 768)

# Filled in from the command line by main().
PROGRAM = None
DATA_DIR = None
SCREENSHOT_DIR = None


class HarnessError(AssertionError):
    """A step of the harness did not reach its goal in time."""


def wait_until(what, predicate, timeout=10.0, interval=0.05):
    """Calls predicate until it returns a true value, and returns that value;
    fails after timeout seconds. Exceptions raised by predicate count as
    'not yet' until the deadline, then the last one is reported."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Exception as error:  # noqa: BLE001 - retried until the deadline
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise HarnessError(f"timed out after {timeout} s waiting for {what}{detail}")
        time.sleep(interval)


def run(args, timeout=10.0, env=None, check=True):
    """Runs a short command to its end, bounded in time."""
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise HarnessError(f"{args!r} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def send_close_request(display_name, window):
    """Sends WM_DELETE_WINDOW to a window, as a window manager's close button
    does (a ClientMessage of type WM_PROTOCOLS)."""
    libname = ctypes.util.find_library("X11") or "libX11.so.6"
    xlib = ctypes.CDLL(libname)
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_XEvent)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(display_name.encode())
    if not display:
        raise HarnessError(f"cannot open display {display_name}")
    try:
        protocols = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
        delete = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = protocols
        event.xclient.format = 32
        event.xclient.data[0] = delete
        event.xclient.data[1] = 0  # CurrentTime
        if not xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
            raise HarnessError("XSendEvent failed")
        xlib.XFlush(display)
    finally:
        xlib.XCloseDisplay(display)


class Rect:
    def __init__(self, x, y, width, height):
        self.x, self.y, self.width, self.height = x, y, width, height

    @property
    def center(self):
        return (self.x + self.width // 2, self.y + self.height // 2)

    def __eq__(self, other):
        return (self.x, self.y, self.width, self.height) == (other.x, other.y, other.width,
                                                             other.height)

    def __repr__(self):
        return f"Rect({self.x}, {self.y}, {self.width}, {self.height})"


class Session:
    """One X server, one session bus, one accessibility bus and, once
    start_program() was called, one running instance of the program in a
    fresh working directory."""

    _atspi_owner = None
    platform = "xcb"

    def __init__(self, test_name, documents=("aide.html", "gpl_en.html")):
        self.test_name = test_name
        self.processes = []  # (name, Popen), in start order
        # Scratch space for the helpers' logs and the program's output, and
        # beside it the program's own, otherwise empty, working directory.
        self.scratch = os.path.realpath(tempfile.mkdtemp(prefix=f"velmaris-e2e-{test_name}-"))
        self.workdir = os.path.join(self.scratch, "work")
        os.mkdir(self.workdir)
        for name in documents:
            shutil.copy(os.path.join(DATA_DIR, name), os.path.join(self.workdir, name))
        self.display = None
        self.bus_address = None
        self.program = None
        self.atspi_app = None
        self._logs = {}
        self.shot_index = 0

    # ---- processes -------------------------------------------------------

    def _spawn(self, name, args, env=None, cwd=None, stdout=None, stderr=None, pass_fds=()):
        log_path = os.path.join(self.scratch, f"{name}.log")
        log = open(log_path, "wb")
        self._logs[name] = log_path
        process = subprocess.Popen(
            args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
            stdout=stdout if stdout is not None else log,
            stderr=stderr if stderr is not None else subprocess.STDOUT if stdout is None else log,
            start_new_session=True, pass_fds=pass_fds)
        log.close()
        self.processes.append((name, process))
        return process

    def base_env(self):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("QT_", "XDG_SESSION", "WAYLAND", "DBUS_", "AT_SPI"))
               and key != "DISPLAY"}
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        env.setdefault("LC_ALL", "C.UTF-8")
        return env

    def start(self):
        self._start_x()
        self._start_buses()
        return self

    def _start_x(self):
        # The server picks a free display number itself and tells it through
        # a pipe: tests starting at the same moment never share a display.
        read_end, write_end = os.pipe()
        try:
            process = self._spawn("xvfb", [
                XVFB, "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                f"{SCREEN[0]}x{SCREEN[1]}x24", "-noreset"], pass_fds=(write_end,))
        finally:
            os.close(write_end)
        try:
            number = b""
            deadline = time.monotonic() + 15
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], 0.1)
                if ready:
                    chunk = os.read(read_end, 16)
                    if not chunk:
                        break
                    number += chunk
                elif time.monotonic() > deadline or process.poll() is not None:
                    break
        finally:
            os.close(read_end)
        if not number.strip().isdigit():
            raise HarnessError("the X server did not start")
        self.display = f":{number.strip().decode()}"
        # And it answers before anything is started on it.
        wait_until(f"X server {self.display}", lambda: process.poll() is None and subprocess.run(
            ["xdpyinfo", "-display", self.display], capture_output=True,
            timeout=5).returncode == 0, timeout=15)

    def _start_buses(self):
        env = self.base_env()
        bus = self._spawn("session-bus", [
            DBUS_DAEMON, "--session", "--nofork", "--nopidfile", "--print-address=1"],
            env=env, stdout=subprocess.PIPE)
        # The address is the first line the daemon prints.
        line = b""
        deadline = time.monotonic() + 10
        os.set_blocking(bus.stdout.fileno(), False)
        while not line.endswith(b"\n"):
            if time.monotonic() > deadline or bus.poll() is not None:
                raise HarnessError("the session bus did not start")
            chunk = bus.stdout.read(256)
            if chunk:
                line += chunk
            else:
                time.sleep(0.02)
        self.bus_address = line.decode().strip()
        env = self.base_env()
        launcher = next((path for path in ATSPI_LAUNCHER_CANDIDATES if os.path.exists(path)),
                        None)
        if launcher is None:
            raise HarnessError("at-spi-bus-launcher is not installed")
        self._spawn("atspi", [launcher, "--launch-immediately"], env=env)
        # The accessibility bus is ready when the launcher answers with its address.
        wait_until("the accessibility bus", lambda: run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=env, check=False).find("unix:") >= 0, timeout=15)
        # The reader side of AT-SPI in this process uses the same buses.
        os.environ.pop("DISPLAY", None)
        os.environ.update({key: env[key] for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")
                           if key in env})

    def start_program(self, wait_for_window=True):
        env = self.base_env()
        env.update({
            "QT_QPA_PLATFORM": self.platform,
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "XDG_RUNTIME_DIR": os.path.join(self.scratch, "runtime"),
            "XDG_CONFIG_HOME": os.path.join(self.scratch, "config"),
        })
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        self.stdout_path = os.path.join(self.scratch, "velmaris.stdout")
        self.stderr_path = os.path.join(self.scratch, "velmaris.stderr")
        out = open(self.stdout_path, "wb")
        err = open(self.stderr_path, "wb")
        try:
            self.program = self._spawn("velmaris", [PROGRAM], env=env, cwd=self.workdir,
                                       stdout=out, stderr=err)
        finally:
            out.close()
            err.close()
        if wait_for_window:
            self.main_window = self.wait_main_window()
        return self.program

    def wait_main_window(self):
        return self.wait_window("^Velmaris$")

    def stderr_bytes(self):
        with open(self.stderr_path, "rb") as handle:
            return handle.read()

    def wait_exit(self, timeout=10.0):
        try:
            return self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"the program did not end within {timeout} s") from None

    def _end(self, process):
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                process.wait(timeout=5)
        else:
            # The leader is gone; children it left in its group are ended too.
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except (ProcessLookupError, PermissionError):
                pass
        for stream in (process.stdout, process.stderr):
            if stream:
                stream.close()

    def close(self):
        for name, process in reversed(self.processes):
            try:
                self._end(process)
            except Exception as error:  # noqa: BLE001 - keep ending the others
                print(f"could not end {name} ({process.pid}): {error}", file=sys.stderr)
        self.processes = []
        shutil.rmtree(self.scratch, ignore_errors=True)

    def __enter__(self):
        try:
            return self.start()
        except BaseException:
            self.close()
            raise

    def __exit__(self, *exc):
        self.close()
        return False

    def logs(self):
        """The text of every helper's log, for failure messages."""
        texts = []
        for name, path in self._logs.items():
            try:
                with open(path, "rb") as handle:
                    texts.append(f"--- {name}\n" + handle.read().decode(errors="replace"))
            except OSError:
                pass
        return "\n".join(texts)

    # ---- X windows and input ----------------------------------------------

    def xdotool(self, *args, timeout=10.0):
        return run(["xdotool", *args], env=self.base_env(), timeout=timeout)

    def find_windows(self, title_regex):
        """Mapped top-level windows of the program whose title matches."""
        out = run(["xdotool", "search", "--onlyvisible", "--name", title_regex],
                  env=self.base_env(), check=False)
        return [int(word) for word in out.split()]

    def wait_window(self, title_regex, timeout=15.0):
        windows = wait_until(f"a mapped window titled {title_regex!r}",
                             lambda: self.find_windows(title_regex), timeout=timeout)
        return windows[0]

    def wait_no_window(self, title_regex, timeout=10.0):
        wait_until(f"no mapped window titled {title_regex!r}",
                   lambda: not self.find_windows(title_regex), timeout=timeout)

    def window_info(self, window):
        """Title, map state and geometry of a window, from xwininfo."""
        out = run(["xwininfo", "-id", str(window)], env=self.base_env())
        fields = {}
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height",
                    "Map State"):
            match = re.search(rf"^\s*{re.escape(key)}:\s*(\S+)", out, re.MULTILINE)
            fields[key] = match.group(1) if match else None
        title = re.search(r'^xwininfo: Window id: \S+ "(.*)"$', out, re.MULTILINE)
        return {
            "title": title.group(1) if title else None,
            "rect": Rect(int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                         int(fields["Width"]), int(fields["Height"])),
            "mapped": fields["Map State"] == "IsViewable",
        }

    def xprop(self, window, name):
        """The text xprop gives of one property of a window."""
        return run(["xprop", "-id", str(window), name], env=self.base_env()).strip()

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"])

    def click(self, point):
        x, y = point
        # "mousemove --sync" waits for a motion, which never comes when the
        # pointer is already there.
        if self.pointer() != (x, y):
            self.xdotool("mousemove", "--sync", str(x), str(y))
        self.xdotool("click", "1")

    def key(self, *keys):
        self.xdotool("key", "--delay", "40", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", text)

    def focus_window(self, window):
        """Gives the keyboard focus to a window, as a window manager would
        when the user activates it (the test server runs no window manager)."""
        self.xdotool("windowfocus", "--sync", str(window))

    def close_request(self, window):
        send_close_request(self.display, window)

    # ---- screen ----------------------------------------------------------

    def grab(self):
        """The whole screen as an RGB image."""
        from PIL import ImageGrab
        return ImageGrab.grab(xdisplay=self.display)

    def screenshot(self, label, window=None):
        """Saves a screenshot of the root window (cut to a window when one is
        given) under the artefact directory, and returns the full image."""
        from PIL import Image
        os.makedirs(SCREENSHOT_DIR, exist_ok=True)
        self.shot_index += 1
        path = os.path.join(SCREENSHOT_DIR, f"{self.test_name}-{self.shot_index:02d}-{label}.png")
        self.last_screenshot = path
        run(["import", "-display", self.display, "-window", "root", path], timeout=20)
        image = Image.open(path).convert("RGB")
        image.load()
        if window is not None:
            rect = self.window_info(window)["rect"]
            image.crop((rect.x, rect.y, rect.x + rect.width, rect.y + rect.height)).save(path)
        return image

    # ---- accessibility ---------------------------------------------------

    def atspi(self):
        # The AT-SPI library binds itself to the buses it first finds in the
        # environment: one session per test process.
        if Session._atspi_owner not in (None, self.display):
            raise HarnessError("AT-SPI is already bound to another session of this process")
        Session._atspi_owner = self.display
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            import pyatspi
            from gi.repository import Atspi
        # A program that stops answering fails the step within seconds.
        Atspi.set_timeout(5000, 15000)
        warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")
        return pyatspi

    def application(self, timeout=15.0):
        """The program's accessible application object."""
        pyatspi = self.atspi()
        pid = self.program.pid

        def find():
            desktop = pyatspi.Registry.getDesktop(0)
            for index in range(desktop.childCount):
                app = desktop.getChildAtIndex(index)
                if app is not None and app.get_process_id() == pid:
                    return app
            return None
        return wait_until("the program on the accessibility bus", find, timeout=timeout)

    def top_level(self, title, timeout=10.0):
        """The accessible of the program's top-level window with this title."""
        def find():
            app = self.application()
            for index in range(app.childCount):
                child = app.getChildAtIndex(index)
                if child is not None and child.name == title:
                    return child
            return None
        return wait_until(f"the accessible window {title!r}", find, timeout=timeout)

    def descendants(self, root):
        found = []
        stack = [root]
        while stack:
            node = stack.pop()
            found.append(node)
            for index in range(node.childCount - 1, -1, -1):
                child = node.getChildAtIndex(index)
                if child is not None:
                    stack.append(child)
        return found[1:]

    def find(self, root, role=None, name=None, predicate=None, timeout=10.0):
        """The first accessible under root with this role name and name."""
        def search():
            for node in self.descendants(root):
                if role is not None and node.getRoleName() != role:
                    continue
                if name is not None and node.name != name:
                    continue
                if predicate is not None and not predicate(node):
                    continue
                return node
            return None
        return wait_until(f"an accessible {role} named {name!r}", search, timeout=timeout)

    def states(self, node):
        pyatspi = self.atspi()
        return {pyatspi.stateToString(state) for state in node.getState().getStates()}

    def showing(self, node):
        return {"showing", "visible"} <= self.states(node)

    def extents(self, node):
        pyatspi = self.atspi()
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return Rect(box.x, box.y, box.width, box.height)

    def click_accessible(self, node):
        rect = self.extents(node)
        if rect.width <= 0 or rect.height <= 0:
            raise HarnessError(f"{node.getRoleName()} {node.name!r} has no place on the screen")
        self.click(rect.center)


def start_pulseaudio(session, sink="e2e_null"):
    """A PulseAudio server of the session's own with a null sink, on a socket
    in the session's scratch space; the program started after this call
    talks to it. Returns the server's process and address."""
    runtime = os.path.join(session.scratch, "pulse")
    os.makedirs(runtime, mode=0o700)
    server = f"unix:{os.path.join(runtime, 'native')}"
    env = session.base_env()
    env.update({"HOME": runtime, "XDG_RUNTIME_DIR": runtime, "XDG_CONFIG_HOME": runtime})
    process = session._spawn("pulseaudio", [
        "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
        "-F", "/dev/null", f"--load=module-null-sink sink_name={sink} rate=48000",
        f"--load=module-native-protocol-unix socket={runtime}/native auth-anonymous=1"],
        env=env)
    wait_until("the PulseAudio server", lambda: subprocess.run(
        ["pactl", "--server", server, "info"], capture_output=True,
        timeout=5).returncode == 0, timeout=15)
    # The program's environment is taken from this process's.
    os.environ["PULSE_SERVER"] = server
    return process, server


class WaylandSession(Session):
    """A session whose display is a headless Weston compositor instead of an
    X server: the program runs on Qt's native Wayland platform, and is read
    and driven through AT-SPI alone (no X input, no screenshots)."""

    platform = "wayland"
    socket_name = "velmaris-wayland"

    def base_env(self):
        return dict(super().base_env(), WAYLAND_DISPLAY=self.socket_name,
                    XDG_RUNTIME_DIR=os.path.join(self.scratch, "runtime"))

    def _start_x(self):
        env = self.base_env()
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        process = self._spawn("weston", [
            "weston", "--backend=headless-backend.so", "--use-pixman", "--no-config",
            f"--socket={self.socket_name}", f"--width={SCREEN[0]}", f"--height={SCREEN[1]}"],
            env=env)
        socket = os.path.join(env["XDG_RUNTIME_DIR"], self.socket_name)
        wait_until("the Wayland compositor",
                   lambda: process.poll() is None and os.path.exists(socket), timeout=15)

    def wait_main_window(self):
        return self.top_level("Velmaris", timeout=15)


class ProgramTest(unittest.TestCase):
    """Test cases that share one session and one run of the program, started
    in setUpClass and ended in tearDownClass whatever happens between."""

    session_name = None
    documents = ("aide.html", "gpl_en.html")

    @classmethod
    def prepare(cls, workdir):
        """Sets up the working directory before the program starts."""

    @classmethod
    def setUpClass(cls):
        cls.session = Session(cls.session_name, documents=cls.documents)
        try:
            cls.session.start()
            cls.prepare(cls.session.workdir)
            cls.session.start_program()
            cls.started()
        except BaseException:
            cls.session.close()
            raise

    @classmethod
    def started(cls):
        """Called once the program's main window is up."""

    @classmethod
    def tearDownClass(cls):
        cls.session.close()


def main(test_case_module):
    """Command line: harness options, then unittest's own."""
    global PROGRAM, DATA_DIR, SCREENSHOT_DIR
    import argparse
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--watchdog", type=int, default=0,
                        help="seconds after which the test fails, cleaning up")
    args, rest = parser.parse_known_args()
    PROGRAM = os.path.realpath(args.program)
    DATA_DIR = os.path.realpath(args.data)
    SCREENSHOT_DIR = args.screenshots
    if args.watchdog:
        def expire(*_):
            raise HarnessError(f"the test ran longer than {args.watchdog} s")
        signal.signal(signal.SIGALRM, expire)
        signal.alarm(args.watchdog)
    # ctest ends a test with SIGTERM on timeout: clean up through finally.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    unittest.main(module=test_case_module, argv=[sys.argv[0], *rest], verbosity=2)
