// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "viewer/textviewer.h"

TextViewer::TextViewer(QWidget *parent)
    : QTextBrowser(parent)
{
}

void TextViewer::setFileName(const QString &name)
{
    m_fileName = name;
}
