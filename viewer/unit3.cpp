// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "viewer/unit3.h"

#include "app/errors.h"

TForm3 *Form3 = nullptr;

TForm3::TForm3()
{
    Form3 = this;
    ui.setupUi(contents());
    finishBuild();
    bind(ui.Button1, &QPushButton::clicked, &TForm3::Button1Click);
    ui.TextViewer1->takeScrollKeysFrom(ui.Button1);
    loadStoredDocument();
}

void TForm3::showEvent(QShowEvent *event)
{
    TextViewer *viewer = ui.TextViewer1;
    viewer->followAssistiveTechnology();
    if (viewer->readsWithCaret())
        viewer->setFocus(Qt::OtherFocusReason);
    Form::showEvent(event);
}

void TForm3::Button1Click(QObject *)
{
    Form3->hideForm();
}

// The help page is loaded before its caption is set, the licence after it,
// on purpose: a help page that cannot be read leaves the viewer's caption
// and document both as they were, while the caption "Licence GPL" is set
// whether the licence can be read or not.
void TForm3::showHelp()
{
    ui.TextViewer1->setFileName(QStringLiteral("aide.html"));
    setWindowTitle(QStringLiteral("Aide"));
    showForm();
}

void TForm3::showLicence()
{
    setWindowTitle(QStringLiteral("Licence GPL"));
    ui.TextViewer1->setFileName(QStringLiteral("gpl_en.html"));
    showForm();
}

// The layout stores the viewer's file name; loading it is part of building
// the window, so a failure names the property that could not be read. The
// page is made of it when the window is first shown: nothing of it is seen
// before, and every opening of the window reads its file again.
void TForm3::loadStoredDocument()
{
    TextViewer *viewer = ui.TextViewer1;
    const char *property = "FileName";
    try {
        viewer->setFileNameWhenShown(viewer->property(property).toString());
    } catch (const Error &error) {
        throw LayoutReadError(QStringLiteral("Erreur lors de la lecture de %1%2%3: %4")
                                  .arg(viewer->objectName(), QStringLiteral("."),
                                       QString::fromLatin1(property), error.message()));
    }
}
