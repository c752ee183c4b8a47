// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/unit4.h"

#include "app/common.h"
#include "app/errors.h"

TForm4 *Form4 = nullptr;

TForm4::TForm4()
{
    Form4 = this;
    ui.setupUi(contents());
    finishBuild();
    bind(ui.Button1, &QPushButton::clicked, &TForm4::Button1Click);

    runGuarded([this] { FormCreate(this); });
}

void TForm4::FormCreate(QObject *)
{
    StringGrid *grid = ui.StringGrid1;
    grid->setCell(1, 0, QStringLiteral("Moy."));
    grid->setCell(2, 0, QStringLiteral("Sigma"));
    grid->setCell(3, 0, QStringLiteral("Nb."));
    grid->setCell(0, 1, QStringLiteral("Occult."));
    grid->setCell(0, 2, QStringLiteral("Erreur"));
}

void TForm4::Button1Click(QObject *)
{
    Form4->hideForm();
}

void TForm4::showSums(const RunningSums &sums)
{
    StringGrid *grid = ui.StringGrid1;
    const std::int32_t occultations = sums.occultCount;
    const std::int32_t measures = sums.measureCount;
    grid->setCell(3, 1, CountText(occultations));
    grid->setCell(3, 2, CountText(measures));
    grid->setCell(1, 1, SecondsText(checkedDivide(sums.occultSum, occultations)));
    grid->setCell(1, 2, SecondsText(sampleMean(sums.errorSum, measures)));
    grid->setCell(2, 1, occultations > 1 ? SecondsText(sampleDeviation(
                                               sums.occultSum, sums.occultSquares, occultations))
                                         : QString());
    grid->setCell(2, 2, measures > 1 ? SecondsText(sampleDeviation(sums.errorSum,
                                                                   sums.errorSquares, measures))
                                     : QString());
}

QStringList TForm4::logTexts() const
{
    const StringGrid *grid = ui.StringGrid1;
    return {grid->cell(3, 1), grid->cell(1, 1), grid->cell(2, 1),
            grid->cell(3, 2), grid->cell(1, 2), grid->cell(2, 2)};
}
