// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/form.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

namespace {

int intProperty(const QObject *object, const char *name, int fallback = 0)
{
    const QVariant value = object->property(name);
    return value.isValid() ? value.toInt() : fallback;
}

QList<QWidget *> controlsOf(QWidget *contents)
{
    return contents->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

// The controls that the layout places: the window's own, and those on the
// pages of its tab widgets, each placed within its page.
QList<QWidget *> placedControls(QWidget *contents)
{
    QList<QWidget *> controls = controlsOf(contents);
    for (QWidget *control : controlsOf(contents)) {
        if (auto *tabs = qobject_cast<QTabWidget *>(control)) {
            for (int page = 0; page < tabs->count(); ++page)
                controls += controlsOf(tabs->widget(page));
        }
    }
    return controls;
}

// A size, or size limits, scaled like the layout; no limit stays none.
QSize scaleSize(QSize size, const TextMetrics &runtime, const TextMetrics &design)
{
    if (size.width() < QWIDGETSIZE_MAX)
        size.setWidth(scaleMeasure(size.width(), runtime.width, design.width));
    if (size.height() < QWIDGETSIZE_MAX)
        size.setHeight(scaleMeasure(size.height(), runtime.height, design.height));
    return size;
}

} // namespace

Form::Form()
    : m_contents(new QWidget)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
}

void Form::finishBuild()
{
    QWidget *root = m_contents;
    setObjectName(root->objectName());
    setWindowTitle(root->windowTitle());
    m_design = {intProperty(root, "textHeight"), intProperty(root, "textWidth")};
    m_runtime = measureFont(font());

    QSize inside = root->size();
    QSize minimum = root->minimumSize();
    QSize maximum = root->maximumSize();
    root->setMinimumSize(0, 0);
    root->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    for (QWidget *control : placedControls(root)) {
        applyFonts(control);
        applyHintRule(control);
    }
    if (m_runtime != m_design && m_design.height > 0 && m_design.width > 0) {
        scaleLayout();
        // The window's own size and limits follow its controls, so that
        // nothing ends up outside the inside area.
        inside = scaleSize(inside, m_runtime, m_design);
        minimum = scaleSize(minimum, m_runtime, m_design);
        maximum = scaleSize(maximum, m_runtime, m_design);
    }
    // The labels are measured when the window is first shown: their fonts
    // are loaded and their texts laid out then, not for a window that the
    // user may never open.
    for (QWidget *control : placedControls(root)) {
        if (auto *label = qobject_cast<QLabel *>(control))
            m_labelsToMeasure.append(label);
    }

    setMinimumSize(minimum);
    setMaximumSize(maximum);
    setGeometry(QRect(QPoint(intProperty(root, "storedLeft"), intProperty(root, "storedTop")),
                      inside));

    const bool scrolls = root->property("scrollBars").toString() != QLatin1String("off");
    const auto policy = scrolls ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
    if (scrolls)
        setCornerWidget(new QSizeGrip(this));
    viewport()->setBackgroundRole(QPalette::Window);
    setWidget(root);
    for (QWidget *control : controlsOf(root))
        control->installEventFilter(this);
    updateScrollRange();

    m_startMaximized = root->property("startMaximized").toBool();
    const QString placement = root->property("placement").toString();
    if (placement == QLatin1String("clearOfMain"))
        m_placement = Placement::ClearOfMain;
    else if (placement == QLatin1String("besideMain"))
        m_placement = Placement::BesideMain;
    const QString escapeName = root->property("escapeButton").toString();
    if (!escapeName.isEmpty())
        m_escapeButton = root->findChild<QAbstractButton *>(escapeName);
    const QString focusName = root->property("initialFocus").toString();
    if (auto *focus = root->findChild<QWidget *>(focusName))
        focus->setFocus();
}

void Form::applyFonts(QWidget *control)
{
    // Registered for the first stored font applied, once the main window's
    // controls are made: registered sooner, the credit line, whose text is
    // laid out as it is made, would load its face at a size never shown.
    static const bool substitutesRegistered = (registerFontSubstitutes(), true);
    Q_UNUSED(substitutesRegistered);
    const int height = intProperty(control, "fontHeight");
    if (height != 0) {
        QFont font = control->font();
        font.setPixelSize(std::abs(height));
        font.setFixedPitch(false);
        // A font of the layout's own shows the layout's texts and figures,
        // which its family has: no other family is looked up for characters
        // it might lack (a lookup per font, at start-up).
        font.setStyleStrategy(QFont::NoFontMerging);
        control->setFont(font);
    }
    // A colour of the control's own is its normal look: a disabled control
    // is drawn in the desktop's disabled colours, as any other is. A palette
    // role follows the desktop's palette as it changes.
    const QVariant background = control->property("backgroundColor");
    if (background.isValid()) {
        const std::int32_t value = background.toInt();
        if (value < 0) {
            control->setBackgroundRole(paletteRole(value));
        } else {
            QPalette palette = control->palette();
            palette.setColor(QPalette::Window, colorFromValue(value, palette));
            control->setPalette(palette);
        }
        control->setAutoFillBackground(true);
    }
    const QVariant fontColor = control->property("fontColor");
    if (fontColor.isValid()) {
        const std::int32_t value = fontColor.toInt();
        if (value < 0) {
            control->setForegroundRole(paletteRole(value));
        } else {
            // Kept where it reads on the background that the control shows
            // (a button's face, or the window's): on a dark desktop the
            // desktop's text colour stands in for the layout's black.
            QPalette palette = control->palette();
            const bool button = qobject_cast<QAbstractButton *>(control) != nullptr;
            for (const auto group : {QPalette::Active, QPalette::Inactive}) {
                const QPalette::ColorRole text = button ? QPalette::ButtonText : QPalette::WindowText;
                const QColor shown = readableTextColor(
                    colorFromValue(value, palette),
                    palette.color(group, button ? QPalette::Button : control->backgroundRole()),
                    palette.color(group, text));
                palette.setColor(group, QPalette::WindowText, shown);
                palette.setColor(group, QPalette::ButtonText, shown);
            }
            control->setPalette(palette);
        }
    }
}

void Form::scaleLayout()
{
    for (QWidget *control : placedControls(m_contents)) {
        const QRect scaled = scaleRect(control->geometry(), m_runtime, m_design);
        // A control's size limits follow the layout, as the window's own do:
        // a control held to a width keeps to the scaled width.
        control->setMinimumSize(scaleSize(control->minimumSize(), m_runtime, m_design));
        control->setMaximumSize(scaleSize(control->maximumSize(), m_runtime, m_design));
        control->setGeometry(scaled);
        const int height = intProperty(control, "fontHeight");
        if (height != 0) {
            QFont font = control->font();
            font.setPixelSize(scaleMeasure(std::abs(height), m_runtime.height, m_design.height));
            control->setFont(font);
        }
    }
}

void Form::applyHintRule(QWidget *control)
{
    // A control shows a tooltip only when its hint display is on (its own,
    // or the window's when it follows the window) and it has a hint text.
    const QVariant own = control->property("showHint");
    const bool followsWindow = !own.isValid() || own.toString() == QLatin1String("parent");
    const bool display = followsWindow ? m_contents->property("showHint").toBool() : own.toBool();
    const QString hint = control->property("hint").toString();
    control->setToolTip(display && !hint.isEmpty() ? hint : QString());
}

void Form::updateScrollRange()
{
    // The scrolling range is the extent of the controls.
    int right = 0;
    int bottom = 0;
    for (QWidget *control : controlsOf(m_contents)) {
        if (control->isHidden())
            continue;
        right = std::max(right, control->geometry().right() + 1);
        bottom = std::max(bottom, control->geometry().bottom() + 1);
    }
    m_contents->resize(right, bottom);
}

bool Form::eventFilter(QObject *watched, QEvent *event)
{
    if (m_fitFrame && watched == windowHandle()
        && (event->type() == QEvent::Expose || event->type() == QEvent::Move)
        && !windowHandle()->frameMargins().isNull()) {
        // Framed, once: the frame too goes within the screen. The window is
        // never framed where no window manager runs.
        m_fitFrame = false;
        placeOnScreen();
    }
    if (m_closing && event->type() == QEvent::Close && watched == windowHandle()) {
        // Were it let through, it would take the native window away while
        // the first request is still deciding whether the window closes.
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        // Return and the keypad's Enter press the push button that has the
        // focus, as Space does. Only the button's own key: one that another
        // control passed on (Enter in the entry field, which moved the focus
        // on) presses nothing.
        const auto *key = static_cast<QKeyEvent *>(event);
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button && button->hasFocus() && button->isEnabled()
            && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            button->click();
            return true;
        }
    }
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched->parent() == m_contents)
            updateScrollRange();
        break;
    default:
        break;
    }
    return QScrollArea::eventFilter(watched, event);
}

void Form::showEvent(QShowEvent *event)
{
    // The first time, before the window is on the screen; each label's new
    // size reaches the scrolling range through eventFilter().
    for (QLabel *label : std::as_const(m_labelsToMeasure))
        autoSizeLabel(label);
    m_labelsToMeasure.clear();
    // The control with the focus shows it from the start, as it would once
    // Tab is pressed: the keyboard user sees where a key goes.
    setAttribute(Qt::WA_KeyboardFocusChange);
    QScrollArea::showEvent(event);
}

void Form::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    // Without a window manager nothing holds a window to its size limits;
    // take it back within them.
    const QSize allowed = event->size().expandedTo(minimumSize()).boundedTo(maximumSize());
    if (allowed != event->size())
        QTimer::singleShot(0, this, [this, allowed] { resize(allowed); });
}

void Form::keyPressEvent(QKeyEvent *event)
{
    // Escape does what the window's OK button does, as in a dialog.
    if (m_escapeButton && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_escapeButton->click();
        return;
    }

    QScrollArea::keyPressEvent(event);
}

void Form::showForm()
{
    if (isHidden()) {
        if (!m_shownBefore) {
            const bool maximized = m_startMaximized && !maximizeRefused();
            if (maximized)
                setWindowState(windowState() | Qt::WindowMaximized);
            // A maximized window that keeps its fixed size stays where it
            // is placed, like any other: it too must be on the screen.
            if (!maximized || minimumSize() == maximumSize()) {
                placeOnScreen();
                // The frame is known once the window manager has put the
                // window into it: see eventFilter().
                m_fitFrame = true;
            }
        }
        m_shownBefore = true;
        setVisible(true);
        if (m_fitFrame)
            windowHandle()->installEventFilter(this);
    }
    raise();
    if (!(windowState() & Qt::WindowMinimized))
        activateWindow();
}

bool Form::maximizeRefused() const
{
    // A Wayland compositor gives a maximized window the size it chooses,
    // and one that holds to the protocol ends a client whose window keeps
    // another size: a fixed-size window is shown in the normal state there.
    // A Wayland client cannot place its windows either: the compositor
    // places it, as the window system places a maximized window elsewhere.
    return minimumSize() == maximumSize()
           && QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void Form::placeOnScreen()
{
    // A stored place made for a larger screen or a smaller font may put
    // part of the window beyond the edges of this one, or over the main
    // window or another one: move it just enough to show all of it, frame
    // included as far as it is known, or at least its top-left part when it
    // is larger than the screen.
    const QScreen *screen = QGuiApplication::screenAt(geometry().topLeft());
    const QRect area = (screen ? screen : this->screen())->availableGeometry();
    const Form *main = nullptr;
    QList<const Form *> others;
    if (m_placement != Placement::Stored) {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *form = qobject_cast<Form *>(window);
            if (!form || form == this || !form->isVisible() || form->isMinimized()
                || !form->windowHandle())
                continue;
            if (form->endsProgramOnClose())
                main = form;
            else
                others.append(form);
        }
    }
    const auto frameOf = [](const Form *form) {
        return form->geometry().marginsAdded(form->windowHandle()->frameMargins());
    };
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    // Before its first showing, the window's frame is taken to be the main
    // window's: one window manager frames both.
    if (frame.isNull() && main)
        frame = main->windowHandle()->frameMargins();
    QList<QRect> otherFrames;
    for (const Form *other : std::as_const(others))
        otherFrames.append(frameOf(other));
    // A window system may give a maximized window the whole screen for a
    // moment, whatever its size limits; it takes them back at once.
    const QSize size = geometry().size().expandedTo(minimumSize()).boundedTo(maximumSize());
    const QRect framed = QRect(geometry().topLeft(), size).marginsAdded(frame);
    const QRect placed =
        placeFrame(area, main ? frameOf(main) : QRect(), otherFrames, framed, m_placement);
    if (placed != framed)
        setGeometry(placed.marginsRemoved(frame));
}

void Form::hideForm()
{
    hide();
}

void Form::closeEvent(QCloseEvent *event)
{
    // A second request while the close handler runs (its error dialog may
    // be open) is turned away at the native window: see eventFilter().
    if (QWindow *window = windowHandle())
        window->installEventFilter(this);
    m_closing = true;
    const bool closed = runGuarded([this] { formClose(); });
    m_closing = false;
    if (!closed) {
        event->ignore(); // the window stays, so the user can try again
        return;
    }
    event->accept();
    if (endsProgramOnClose())
        QCoreApplication::quit();
}
