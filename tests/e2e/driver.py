# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""What the tests know of Velmaris's windows: how to find their controls
through AT-SPI, how to read the star field from the screen, and how to run
one trial while watching it."""

import re
import sys
import time

from harness import SCREEN, HarnessError, wait_until

MAIN_TITLE = "Velmaris"
# The layout the main window was designed for: text height 13, text width 6.
DESIGN_TEXT = (13, 6)
# Stored (left, top, width, height) of controls used to recover the run-time
# scale of the main window's layout.
STORED_CONTROLS = {
    ("push button", "On y va !"): (104, 232, 91, 33),
    ("push button", "Réglages..."): (8, 384, 97, 25),
    ("push button", "Aide..."): (200, 384, 75, 25),
    ("image", "Champ d'étoile"): (96, 120, 105, 105),
}
STORED_INSIDE = (287, 419)
STAR_NAME = "Champ d'étoile"
STAR_SHOWN = "L'étoile est visible"
STAR_HIDDEN = "L'étoile est cachée"
# Two decimals, at least five characters: one blank before a single
# positive digit.
SECONDS_TEXT = re.compile(r"^(?: \d|-\d|-?\d{2,})\.\d\d$")
# How long the screen may lag behind the program's state: a repaint waits
# for the event loop, and the machine may be busy.
REPAINT_LAG = 0.3
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


def scale(value, runtime, stored):
    """The program's layout scaling: exact product, quotient truncated."""
    return value * runtime // stored


def scale_rect(rect, runtime, design=DESIGN_TEXT):
    """(left, top, width, height) as the scaling rule places it, for
    run-time metrics (text height, text width)."""
    left, top, width, height = rect
    rh, rw = runtime
    dh, dw = design
    x0, y0 = scale(left, rw, dw), scale(top, rh, dh)
    return (x0, y0, scale(left + width, rw, dw) - x0, scale(top + height, rh, dh) - y0)


def seconds_value(text):
    if not SECONDS_TEXT.match(text):
        raise AssertionError(f"{text!r} is not a number of seconds with two decimals")
    return float(text)


class MainWindow:
    """The main window's controls, found by their accessible role and name."""

    def __init__(self, session):
        self.session = session
        self.window = session.main_window
        self.root = session.top_level(MAIN_TITLE)

    def control(self, role, name, timeout=10.0):
        return self.session.find(self.root, role=role, name=name, timeout=timeout)

    def button(self, name):
        return self.control("push button", name)

    @property
    def star_field(self):
        # Qt names an image-like custom widget's role after what it exposes;
        # accept the two roles it uses for a plain painted widget.
        return self.session.find(self.root, name=STAR_NAME,
                                 predicate=lambda node: node.getRoleName() in ("image", "filler"))

    @property
    def edit(self):
        return self.session.find(self.root, role="text")

    def result_label(self):
        """The label between "Le temps est de " and "s" on the result line."""
        prefix = self.control("label", "Le temps est de ")
        line = self.session.extents(prefix)
        labels = [node for node in self.session.descendants(self.root)
                  if node.getRoleName() == "label" and node.name not in ("Le temps est de ", "s")]
        on_line = [node for node in labels
                   if abs(self.session.extents(node).y - line.y) <= 2
                   and self.session.extents(node).x > line.x]
        if len(on_line) != 1:
            raise AssertionError(f"expected one result label, found {[n.name for n in on_line]}")
        return on_line[0]

    def result_text(self):
        """The label's text. After a trial its accessible name is the whole
        line, "Le temps est de 3.07 s": the number, padded back to five."""
        name = self.result_label().name
        if name.startswith("Le temps est de ") and name.endswith(" s"):
            return name[len("Le temps est de "):-len(" s")].rjust(5)
        return name

    def enabled(self, node):
        return "sensitive" in self.session.states(node) or "enabled" in self.session.states(node)

    def field_rect(self):
        return self.session.extents(self.star_field)


def classify_field(image, rect):
    """'black' when every pixel of the star field is black; 'star' when the
    only non-black pixels lie in the 5 x 5 star square that the program
    places from the field's size (left edge at half the height, top edge at
    half the width, both truncated) and its centre pixel is white;
    otherwise a description of what is wrong."""
    star_x = rect.height // 2
    star_y = rect.width // 2
    field = image.crop((rect.x, rect.y, rect.x + rect.width, rect.y + rect.height))
    pixels = field.load()
    stray = []
    white_inside = 0
    for y in range(rect.height):
        for x in range(rect.width):
            value = pixels[x, y]
            inside = star_x <= x <= star_x + 4 and star_y <= y <= star_y + 4
            if value == BLACK:
                continue
            if inside:
                if value == WHITE:
                    white_inside += 1
                continue
            stray.append((x, y, value))
    if stray:
        return f"non-black pixels outside the star square: {stray[:5]} ({len(stray)} in all)"
    if white_inside == 0:
        return "black"
    if pixels[star_x + 2, star_y + 2] != WHITE:
        return f"the star's centre pixel is {pixels[star_x + 2, star_y + 2]}, not white"
    if white_inside < 5:
        return f"only {white_inside} white pixels in the star square"
    return "star"


class TrialRecord:
    def __init__(self):
        self.samples = []  # (time, description before, field class, description after)
        self.result = None
        self.started = None
        self.ended = None

    def phases(self, index):
        """The sequence of distinct consecutive values of one sample field."""
        sequence = []
        for sample in self.samples:
            if not sequence or sequence[-1] != sample[index]:
                sequence.append(sample[index])
        return sequence

    def times(self, field_class):
        return [sample[0] for sample in self.samples if sample[2] == field_class]


def is_subsequence(sequence, allowed):
    position = 0
    for item in sequence:
        while position < len(allowed) and allowed[position] != item:
            position += 1
        if position == len(allowed):
            return False
        position += 1
    return True


def watch_trial(session, window, start, timeout=15.0, on_sample=None):
    """Starts a trial with start() and samples the star field, its
    accessible description and the start button until the button is enabled
    again. Returns a TrialRecord; fails on any sample that is neither a
    black field nor the star in its place."""
    start_button = window.button("On y va !")
    star_field = window.star_field
    rect = session.extents(star_field)
    record = TrialRecord()
    record.started = time.monotonic()
    start()
    # A trial disables the start button at once, for its whole length.
    wait_until("the start button to be disabled by the trial",
               lambda: not window.enabled(start_button), timeout=2.0, interval=0.01)
    deadline = time.monotonic() + timeout
    ended_at = None
    while True:
        description_before = star_field.description
        image = session.grab()
        description_after = star_field.description
        now = time.monotonic()
        field_class = classify_field(image, rect)
        if field_class not in ("star", "black"):
            session.screenshot("bad-star-field")
            raise AssertionError(f"star field at {rect}: {field_class}"
                                 f" (screen kept as {session.last_screenshot})")
        record.samples.append((now, description_before, field_class, description_after))
        if on_sample:
            on_sample(record)
        if ended_at is None and window.enabled(start_button):
            # The repaint that shows the star again may reach the screen a
            # moment after the handler that enabled the button has ended.
            ended_at = now
            deadline = now + 1.0
        if ended_at is not None and field_class == "star" and description_after == STAR_SHOWN:
            break
        if now > deadline:
            if ended_at is None:
                raise HarnessError(f"the trial did not end within {timeout} s")
            break
        time.sleep(0.01)
    record.ended = ended_at
    # The result line is written in the same handler that enables the button.
    record.result = window.result_text()
    return record


def check_trial(test, session, record):
    """The observations every trial must satisfy."""
    fields = record.phases(2)
    test.assertTrue(is_subsequence(fields, ["star", "black", "star"]),
                    f"the star field went through {fields}, not star, black, star")
    test.assertEqual(fields[-1], "star", "the star is back at the end of the trial")
    descriptions = record.phases(1)
    test.assertTrue(is_subsequence(descriptions, [STAR_SHOWN, STAR_HIDDEN, STAR_SHOWN]),
                    f"the star field's description went through {descriptions}")
    # Where the description stayed the same across a screenshot, the
    # screenshot and the description agree, allowing for the repaint that
    # may still be on its way: a disagreement may not last.
    expected = {STAR_SHOWN: "star", STAR_HIDDEN: "black"}
    since = None
    for when, before, field_class, after in record.samples:
        if before == after and before in expected and expected[before] != field_class:
            since = when if since is None else since
            test.assertLess(when - since, REPAINT_LAG,
                            f"the screen showed {field_class} while the star field's"
                            f" description said {before!r}")
        else:
            since = None
    for description in descriptions:
        test.assertIn(description, expected, "unexpected description of the star field")
    duration = seconds_value(record.result)
    black = record.times("black")
    print(f"trial: {record.result!r} s shown; {len(record.samples)} samples, field {fields},"
          f" hidden seen for {(black[-1] - black[0]) if black else 0:.3f} s,"
          f" whole trial {record.ended - record.started:.3f} s", file=sys.stderr)
    # Each delay is drawn below 5000 ms while the speed slider is untouched;
    # the timer may be a little late.
    test.assertGreaterEqual(duration, 0.0)
    test.assertLess(duration, 5.5)
    test.assertLessEqual(duration, record.ended - record.started + REPAINT_LAG,
                         "the occultation lasted longer than the whole trial")
    if black:
        star_before = [t for t, *_ in record.samples if t < black[0]]
        star_after = [t for t, _, c, _ in record.samples if t > black[-1] and c == "star"]
        lower = black[-1] - black[0]
        upper = (star_after[0] if star_after else record.ended) - (
            star_before[-1] if star_before else record.started)
        # Allow for the repaint reaching the screen a little after the clock is read.
        test.assertGreaterEqual(duration, lower - REPAINT_LAG,
                                f"the star was seen hidden for {lower:.3f} s")
        test.assertLessEqual(duration, upper + REPAINT_LAG,
                             f"the star was hidden for at most {upper:.3f} s")
    return duration


def text_of(node):
    """The whole text of an accessible with a text interface."""
    text = node.queryText()
    return text.getText(0, text.characterCount)


def read_grid(session, root):
    """The statistics grid's cells as {(column, row): text}, through the
    AT-SPI table interface."""
    table = session.find(root, role="table").queryTable()
    if (table.nRows, table.nColumns) != (3, 4):
        raise AssertionError(f"the grid has {table.nRows} rows and {table.nColumns} columns")
    return {(column, row): table.getAccessibleAt(row, column).name
            for row in range(3) for column in range(4)}


def assert_on_screen(session, window):
    """Checks that the whole of a window lies on the screen: a stored place
    beyond the screen's edges is corrected by the program when the window
    first shows. Returns the window's rectangle."""
    rect = session.window_info(window)["rect"]
    if (rect.x < 0 or rect.y < 0 or rect.x + rect.width > SCREEN[0]
            or rect.y + rect.height > SCREEN[1]):
        raise AssertionError(f"the window {rect} reaches beyond the {SCREEN} screen")
    return rect


def focused(session, root):
    """The accessible under root that has the keyboard focus, or None.
    Qt keeps the focused state on a table's current cell after the table
    itself has lost the focus; such a cell does not count."""
    nodes = session.descendants(root)
    has_focus = [node for node in nodes if "focused" in session.states(node)]
    for node in has_focus:
        if node.getRoleName() == "table cell":
            table = node.parent
            while table is not None and table.getRoleName() != "table":
                table = table.parent
            if table is None or "focused" not in session.states(table):
                continue
        return node
    return None


def describe(node):
    return None if node is None else f"{node.getRoleName()} {node.name!r}"


def clipboard_text(display_name, timeout=5.0):
    """The text on the X clipboard of the display, as another program
    pasting it would get it (UTF8_STRING), through libX11."""
    import ctypes
    import ctypes.util

    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 \
        + [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XConvertSelection.argtypes = [ctypes.c_void_p] + [ctypes.c_ulong] * 5
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCheckTypedWindowEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                           ctypes.c_void_p]
    x11.XGetWindowProperty.argtypes = [
        ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
        ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class SelectionEvent(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                    ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                    ("time", ctypes.c_ulong), ("pad", ctypes.c_long * 16)]

    selection_notify = 31
    display = x11.XOpenDisplay(display_name.encode())
    if not display:
        raise HarnessError(f"cannot open display {display_name}")
    try:
        window = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display),
                                         0, 0, 1, 1, 0, 0, 0)
        atom = lambda name: x11.XInternAtom(display, name, 0)
        into = atom(b"VELMARIS_E2E_PASTE")
        x11.XConvertSelection(display, atom(b"CLIPBOARD"), atom(b"UTF8_STRING"), into, window, 0)
        x11.XFlush(display)
        event = SelectionEvent()
        deadline = time.monotonic() + timeout
        while not x11.XCheckTypedWindowEvent(display, window, selection_notify,
                                             ctypes.byref(event)):
            if time.monotonic() > deadline:
                raise HarnessError("no answer from the clipboard's owner")
            time.sleep(0.02)
        if event.property == 0:
            return None
        kind, size, items, after = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), \
            ctypes.c_ulong()
        data = ctypes.c_void_p()
        x11.XGetWindowProperty(display, window, into, 0, 1 << 20, 1, 0, ctypes.byref(kind),
                               ctypes.byref(size), ctypes.byref(items), ctypes.byref(after),
                               ctypes.byref(data))
        text = ctypes.string_at(data, items.value).decode("utf-8") if data else ""
        if data:
            x11.XFree(data)
        return text
    finally:
        x11.XCloseDisplay(display)
