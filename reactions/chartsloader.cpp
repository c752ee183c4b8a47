// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/errors.h"
#include "reactions/charts.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

namespace Reactions {

std::unique_ptr<Charts> loadCharts(QWidget *trialsPlace, QWidget *runsPlace)
{
    // Looked for once; a module found stays for the rest of the run.
    static VelmarisNewCharts newCharts = nullptr;
    static const QString failure = []() -> QString {
        const QString path = QCoreApplication::applicationDirPath()
                             + QStringLiteral("/" VELMARIS_CHARTS_MODULE);
        void *module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (module)
            newCharts = reinterpret_cast<VelmarisNewCharts>(dlsym(module, "velmarisNewCharts"));
        if (newCharts)
            return QString();
        // The loader's own account: the file missing, or a library it needs.
        return QStringLiteral("Impossible de charger les graphiques. %1")
            .arg(QString::fromLocal8Bit(dlerror()));
    }();
    if (!newCharts)
        throw FileOpenError(failure);
    return std::unique_ptr<Charts>(newCharts(trialsPlace, runsPlace));
}

} // namespace Reactions
