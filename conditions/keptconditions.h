// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "conditions/conditions.h"

#include <QObject>

#include <functional>

/// The observing conditions kept between runs, and whether an audio output
/// takes the pips. The conditions window edits them; each trial takes
/// forTrial() as it starts. No window owns them.
class KeptConditions : public QObject
{
    Q_OBJECT

public:
    /// Asks the sound server whether it takes a playback stream, and
    /// returns at once: the answer comes later, through audioOutputFound().
    using AudioProbe = std::function<void()>;

    explicit KeptConditions(AudioProbe probe, QObject *parent = nullptr);

    /// Reads the kept conditions. The sound server is asked now only where
    /// the pips were kept on; otherwise when the conditions are first shown
    /// (checkAudioOutput()), so that a start costs nothing for them.
    void load();
    /// Asks the sound server once, if not asked yet.
    void checkAudioOutput();
    /// Asks the sound server again, whatever it said before: each time the
    /// conditions are shown, so that a server started since is seen.
    void askAudioOutputAgain();
    /// The sound server's answer, and any news of it later: an output that
    /// stops answering is lost, and the pips come back with it.
    void audioOutputFound(bool output);

    const Conditions::ObservingConditions &kept() const { return m_kept; }
    /// Until the server answers, an output is taken to be there.
    bool audioOutput() const { return m_audioOutput; }
    /// The output answered, then stopped answering.
    bool audioOutputLost() const { return !m_audioOutput && m_audioFound; }
    Conditions::ObservingConditions forTrial() const
    {
        return Conditions::forTrial(m_kept, m_audioOutput);
    }

    /// The conditions as the user set them, each within its range, kept.
    /// Without an audio output the pips' choice cannot be made: the kept
    /// one stays, unheard. Where they cannot be kept for the next run, they
    /// still hold for this one, and saveError() says why.
    void edit(Conditions::ObservingConditions shown);
    /// Whether each trial's true time waits for the user's entry. Kept with
    /// the conditions, but none of them: it leaves the trials alike.
    bool trueTimeAfterEntry() const { return m_trueTimeAfterEntry; }
    /// Sets it and keeps it, as edit() keeps the conditions.
    void setTrueTimeAfterEntry(bool on);
    /// Why the last change could not be kept, in French; empty once one was.
    const QString &saveError() const { return m_saveError; }

signals:
    /// The kept conditions, the audio output or the save error changed.
    void changed();

private:
    AudioProbe m_probe;
    Conditions::ObservingConditions m_kept;
    bool m_trueTimeAfterEntry = false;
    bool m_audioChecked = false;
    bool m_audioOutput = true;
    QString m_saveError;
    /// Whether an output answered during this run.
    bool m_audioFound = false;
};
