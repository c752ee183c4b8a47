// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/keptconditions.h"

KeptConditions::KeptConditions(AudioProbe probe, QObject *parent)
    : QObject(parent)
    , m_probe(std::move(probe))
{
}

void KeptConditions::load()
{
    m_kept = Conditions::load();
    m_trueTimeAfterEntry = Conditions::loadTrueTimeAfterEntry();
    m_audioChecked = false;
    m_audioOutput = true;
    m_audioFound = false;
    if (m_kept.bips)
        checkAudioOutput();
    emit changed();
}

void KeptConditions::checkAudioOutput()
{
    if (m_audioChecked)
        return;
    m_audioChecked = true;
    if (m_probe)
        m_probe();
    else
        audioOutputFound(false);
}

void KeptConditions::askAudioOutputAgain()
{
    m_audioChecked = false;
    checkAudioOutput();
}

void KeptConditions::audioOutputFound(bool output)
{
    m_audioChecked = true;
    m_audioFound = m_audioFound || output;
    if (output == m_audioOutput)
        return;
    m_audioOutput = output;
    emit changed();
}

void KeptConditions::edit(Conditions::ObservingConditions shown)
{
    if (!m_audioOutput)
        shown.bips = m_kept.bips;
    shown = Conditions::bounded(shown);
    if (shown == m_kept)
        return;
    m_kept = shown;
    m_saveError = Conditions::save(m_kept);
    emit changed();
}

void KeptConditions::setTrueTimeAfterEntry(bool on)
{
    if (on == m_trueTimeAfterEntry)
        return;
    m_trueTimeAfterEntry = on;
    m_saveError = Conditions::saveTrueTimeAfterEntry(on);
    emit changed();
}
