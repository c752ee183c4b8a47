// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/errors.h"
#include "reactions/charts.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

namespace Reactions {

void *chartsModuleEntry(const char *name)
{
    // Looked for once; a module found stays for the rest of the run.
    static void *module = nullptr;
    static const QString failure = []() -> QString {
        const QString path = QCoreApplication::applicationDirPath()
                             + QStringLiteral("/" VELMARIS_CHARTS_MODULE);
        module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (module)
            return QString();
        // The loader's own account: the file missing, or a library it needs.
        return QStringLiteral("Impossible de charger les graphiques. %1")
            .arg(QString::fromLocal8Bit(dlerror()));
    }();
    void *entry = module ? dlsym(module, name) : nullptr;
    if (!entry)
        throw FileOpenError(module ? QStringLiteral("Impossible de charger les graphiques : "
                                                    "%1 manque dans " VELMARIS_CHARTS_MODULE ".")
                                         .arg(QString::fromLatin1(name))
                                   : failure);
    return entry;
}

std::unique_ptr<Charts> loadCharts(QWidget *trialsPlace, QWidget *runsPlace)
{
    const auto newCharts = reinterpret_cast<VelmarisNewCharts>(chartsModuleEntry("velmarisNewCharts"));
    return std::unique_ptr<Charts>(newCharts(trialsPlace, runsPlace));
}

} // namespace Reactions
