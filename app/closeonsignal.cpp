// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/closeonsignal.h"

#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

// Read end, write end; -1 while no one watches.
int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // The pipe is full: a close request is on its way already.
    }
    errno = savedErrno;
}

} // namespace

CloseOnSignal::CloseOnSignal(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without a pipe the signals keep their default action.
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CloseOnSignal::closeWindow);
    catchSignals();
}

void CloseOnSignal::catchSignals()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Once caught, a signal is back to its default action: the second one
    // of a kind ends the program.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int number : Signals)
        ::sigaction(number, &action, nullptr);
}

CloseOnSignal::~CloseOnSignal()
{
    if (signalPipe[0] < 0)
        return;
    for (const int number : Signals)
        std::signal(number, SIG_DFL);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void CloseOnSignal::closeWindow()
{
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    // Another kind of signal while the close's error dialog is open: that
    // close is under way already.
    if (m_closing)
        return;
    m_closing = true;
    const bool closed = m_window->close();
    m_closing = false;
    // The close failed and its error dialog has been answered: the window
    // stays, and the next signal closes it again.
    if (!closed)
        catchSignals();
}
