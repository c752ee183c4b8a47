# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The secondary windows opened from the main window: the settings window
with its speed slider, and the viewer with the help page and the licence."""

import html.parser
import os
import re
import sys

import harness
from driver import MainWindow, assert_on_screen, describe, focused, text_of
from harness import wait_until


class _Paragraphs(html.parser.HTMLParser):
    """The text of a document's paragraphs, blanks run together."""

    def __init__(self):
        super().__init__()
        self.paragraphs = []
        self._inside = 0

    def handle_starttag(self, tag, attrs):
        if tag == "p":
            self._inside += 1
            self.paragraphs.append("")

    def handle_endtag(self, tag):
        if tag == "p" and self._inside:
            self._inside -= 1

    def handle_data(self, data):
        if self._inside:
            self.paragraphs[-1] += data


def normalised(text):
    return re.sub(r"\s+", " ", text).strip()


def longest_paragraph(path):
    parser = _Paragraphs()
    with open(path, encoding="utf-8") as handle:
        parser.feed(handle.read())
    paragraphs = [normalised(p) for p in parser.paragraphs if len(normalised(p)) >= 30]
    if not paragraphs:
        raise AssertionError(f"{path} has no paragraph of text to look for")
    return max(paragraphs, key=len)


class SecondaryWindows(harness.ProgramTest):
    session_name = "windows"

    @classmethod
    def started(cls):
        cls.main = MainWindow(cls.session)

    def speed_label(self, root):
        return self.session.find(root, role="label", predicate=lambda node: (
            node.name not in ("Rapidité", "Visibilité")))

    def test_1_settings(self):
        session, main = self.session, self.main
        session.click_accessible(main.button("Réglages..."))
        window = session.wait_window("^Réglages$")
        # The window is shown for the first time here.
        root = session.top_level("Réglages")
        session.screenshot("settings", window)

        sliders = [node for node in session.descendants(root) if node.getRoleName() == "slider"]
        self.assertEqual(len(sliders), 2)
        speed, visibility = sorted(sliders, key=lambda node: session.extents(node).y)
        self.assertTrue(self.main.enabled(speed))
        self.assertFalse(self.main.enabled(visibility), "the Visibilité slider is disabled")
        # A screen reader reads the delay bound, not the slider's position.
        self.assertEqual(speed.queryValue().currentValue, 20000)
        self.assertEqual(self.speed_label(root).name.strip(), "")
        box = session.find(root, role="check box", name="Sauver les statisitiques")
        self.assertIn("checked", session.states(box))
        # The slider has the focus; the arrow and end keys move it, and the
        # label follows with the delay bound in milliseconds.
        wait_until("the focus on the speed slider",
                   lambda: (focused(session, root) or box).getRoleName() == "slider", timeout=5)
        for key, position, text in (("Right", 1, "19000"), ("Left", 0, "20000"),
                                    ("End", 10, "10000"), ("Home", 0, "20000"),
                                    ("Right", 1, "19000")):
            session.key(key)
            wait_until(f"the label {text} after {key}",
                       lambda: self.speed_label(root).name == text, timeout=5)
            self.assertEqual(speed.queryValue().currentValue, int(text))
            self.assertEqual(speed.description, text)
        session.screenshot("settings-speed-19000", window)

        # OK hides the window; showing it again brings back the same state.
        session.click_accessible(session.find(root, role="push button", name="OK"))
        session.wait_no_window("^Réglages$")
        session.click_accessible(main.button("Réglages..."))
        session.wait_window("^Réglages$")
        self.assertEqual(self.speed_label(root).name, "19000")
        self.assertEqual(speed.queryValue().currentValue, 19000)
        self.assertIn("checked", session.states(box))
        # Closing it from outside hides it too, and the program goes on.
        session.close_request(session.wait_window("^Réglages$"))
        session.wait_no_window("^Réglages$")
        self.assertIsNone(session.program.poll())

    def test_2_settings_sliders_are_named(self):
        """A screen reader announces each slider by the label beside it."""
        session, main = self.session, self.main
        session.click_accessible(main.button("Réglages..."))
        session.wait_window("^Réglages$")
        root = session.top_level("Réglages")
        pyatspi = session.atspi()
        sliders = sorted((node for node in session.descendants(root)
                          if node.getRoleName() == "slider"),
                         key=lambda node: session.extents(node).y)
        for slider, label in zip(sliders, ("Rapidité", "Visibilité")):
            names = {slider.name}
            for relation in slider.getRelationSet():
                if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                    names.update(relation.getTarget(index).name
                                 for index in range(relation.getNTargets()))
            self.assertIn(label, names, f"the {label} slider has no accessible name")

    def viewer_text(self, title):
        """The document's text as the viewer gives it through AT-SPI (Qt
        presents a read-only rich-text view as static text)."""
        root = self.session.top_level(title)

        def document(node):
            try:
                return node.queryText().characterCount > 100
            except NotImplementedError:
                return False
        return normalised(text_of(self.session.find(root, predicate=document)))

    def test_3_viewer(self):
        session, main = self.session, self.main
        session.click_accessible(main.button("Aide..."))
        window = session.wait_window("^Aide$")
        assert_on_screen(session, window)
        session.screenshot("viewer-help", window)
        help_text = self.viewer_text("Aide")
        self.assertIn(longest_paragraph(os.path.join(session.workdir, "aide.html")), help_text)
        # A screen reader is active: the text has the focus, read-only, with
        # a caret that Down moves to the next line.
        root = session.top_level("Aide")
        wait_until("the focus on the text", lambda: (focused(session, root) is not None
                   and focused(session, root).queryText().characterCount > 100), timeout=5)
        document = focused(session, root)
        self.assertTrue({"focusable", "read only"} <= session.states(document))
        caret = document.queryText()
        self.assertEqual(caret.caretOffset, 0)
        session.key("Down")
        wait_until("the caret on the next line", lambda: caret.caretOffset > 0, timeout=5)
        _, start, _ = caret.getTextAtOffset(caret.caretOffset,
                                            session.atspi().TEXT_BOUNDARY_LINE_START)
        self.assertEqual(start, caret.caretOffset)
        # Tab goes on to OK.
        session.key("Tab")
        wait_until("the focus on OK", lambda: describe(focused(session, root))
                   == "push button 'OK'", timeout=5)

        # The credit label shows the licence in the same window.
        session.click_accessible(main.control("link", "Logiciel libre, licence GPL"))
        session.wait_window("^Licence GPL$")
        self.assertEqual(session.find_windows("^Aide$"), [])
        self.assertEqual(session.find_windows("^Licence GPL$"), [window])
        session.screenshot("viewer-licence", window)
        self.assertIn(longest_paragraph(os.path.join(session.workdir, "gpl_en.html")),
                      self.viewer_text("Licence GPL"))
        self.assertIn("GNU GENERAL PUBLIC LICENSE", self.viewer_text("Licence GPL").upper())

        # "Aide..." brings the help page back; OK hides the window.
        session.click_accessible(main.button("Aide..."))
        session.wait_window("^Aide$")
        self.assertEqual(self.viewer_text("Aide"), help_text)
        session.click_accessible(session.find(session.top_level("Aide"), role="push button",
                                              name="OK"))
        session.wait_no_window("^Aide$")

    def test_4_close(self):
        self.session.close_request(self.main.window)
        self.assertEqual(self.session.wait_exit(timeout=10), 0)
        # No entry was made: no log.
        self.assertFalse(os.path.exists(os.path.join(self.session.workdir, ".occ")))


if __name__ == "__main__":
    harness.main(sys.modules[__name__])
