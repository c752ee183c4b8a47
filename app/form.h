// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/errordialog.h"
#include "app/presentation.h"

#include <QScrollArea>

class QAbstractButton;
class QLabel;

/// One of the program's top-level windows. Its controls live in contents(),
/// built from the window's designer layout; the layout's root widget also
/// carries the window's stored values as dynamic properties:
///   storedLeft, storedTop   where the inside area is first placed, pixels
///   textHeight, textWidth   the design metrics that the layout was made for
///   scrollBars              "auto" or "off"
///   startMaximized          shown maximized the first time (on Wayland,
///                           not when its size is fixed)
///   initialFocus            name of the control that first takes the focus
///   placement               "clearOfMain" or "besideMain": where the window
///                           is first shown with respect to the main window
///                           and the other windows shown (see placeFrame());
///                           otherwise its stored place
///   escapeButton            name of the button that Escape presses
/// and each control may carry:
///   fontHeight              pixel size of a font of its own
///   fontColor               colour value of that font
///   backgroundColor         colour value of its own background
///   hint, showHint          hint text and hint display ("parent" follows the window)
class Form : public QScrollArea
{
    Q_OBJECT

public:
    /// Makes the window visible (the first time at its stored place and in
    /// its stored state, moved within the screen where the place would put
    /// part of it beyond an edge, and placed with respect to the main window
    /// as its layout asks) and raises it. Returns at once.
    void showForm();
    /// Makes the window invisible; contents and state stay as they are.
    void hideForm();

    QWidget *contents() const { return m_contents; }
    /// The metrics the layout was designed for and those it was built with.
    TextMetrics designMetrics() const { return m_design; }
    TextMetrics runtimeMetrics() const { return m_runtime; }

protected:
    explicit Form();

    /// Applies the stored window values and the presentation rules; called
    /// once the designer layout has been loaded into contents().
    void finishBuild();

    /// Connects a signal to a handler of the window; the handler runs
    /// through the error guard and receives the sender.
    template <typename Sender, typename Signal, typename Window>
    void bind(Sender *sender, Signal signal, void (Window::*handler)(QObject *))
    {
        auto *window = static_cast<Window *>(this);
        connect(sender, signal, this,
                [window, sender, handler] { runGuarded([&] { (window->*handler)(sender); }); });
    }

    /// The window's close handler; throwing stops the close request.
    virtual void formClose() {}
    /// Whether a close request on this window ends the program.
    virtual bool endsProgramOnClose() const { return false; }

    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyFonts(QWidget *control);
    void scaleLayout();
    void applyHintRule(QWidget *control);
    void updateScrollRange();
    /// Moves the window to where placeFrame() puts it with respect to the
    /// other windows shown, its frame included as far as it is known.
    void placeOnScreen();
    bool maximizeRefused() const;

    QWidget *m_contents;
    TextMetrics m_design;
    TextMetrics m_runtime;
    bool m_shownBefore = false;
    QList<QLabel *> m_labelsToMeasure;
    bool m_closing = false;
    bool m_startMaximized = false;
    bool m_fitFrame = false;
    Placement m_placement = Placement::Stored;
    QAbstractButton *m_escapeButton = nullptr;
};

/// Builds a window whose constructor sets its reference first thing, and
/// returns it; a window whose building fails leaves no reference behind.
template <typename Window, typename... Arguments>
Window *buildWindow(Window *&reference, Arguments &...arguments)
{
    try {
        new Window(arguments...);
    } catch (...) {
        reference = nullptr;
        throw;
    }
    return reference;
}
