// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "ui_unit3.h"

/// The document viewer: the help page or the licence text, read from the
/// working directory. Building it loads the help page; without that file
/// the window cannot be built.
class TForm3 : public Form
{
    Q_OBJECT

public:
    /// Throws LayoutReadError when the stored document cannot be loaded.
    TForm3();

    Ui::TForm3 ui;

    void Button1Click(QObject *Sender);

    /// Shows the help page, or the licence, with its caption.
    void showHelp();
    void showLicence();

protected:
    /// With an assistive technology active, the text takes the focus, so
    /// that the screen reader reads it; otherwise OK keeps it.
    void showEvent(QShowEvent *event) override;

private:
    void loadStoredDocument();
};

extern TForm3 *Form3;
