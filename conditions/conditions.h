// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>
#include <vector>

/// The observing conditions of a trial: how faint the star is, how it
/// twinkles, how its edges fade, whether second pips are heard, and whether
/// its edges are announced. With every condition at its default the star is
/// the bright, steady disc that switches off at once, unannounced.
namespace Conditions {

/// The sliders run from 0 to this.
constexpr int LastStep = 5;
/// The fade's duration at each "Fondu" position, milliseconds.
constexpr std::array<int, LastStep + 1> FadeDurationsMs{0, 20, 50, 100, 200, 500};
/// The announcement's choices: none, then the standard deviation of the
/// announced seconds' error, seconds.
constexpr std::array<double, 4> AnnouncementSigmas{0.0, 0.5, 1.0, 2.0};
constexpr int LastAnnouncement = int(AnnouncementSigmas.size()) - 1;

struct ObservingConditions
{
    int eclat = 0;         ///< each step halves the star's light
    int scintillation = 0; ///< the twinkle's sigma is 0.15 times this
    int fondu = 0;         ///< the fade's position in FadeDurationsMs
    bool bips = false;     ///< second pips during the trial
    int annonce = 0;       ///< the edges announced: a place in AnnouncementSigmas

    /// The fade's duration, ms; 0 for an instant edge.
    int fadeMs() const { return FadeDurationsMs[fondu]; }
    /// The announced seconds' standard deviation, s; 0 when unannounced.
    double announcementSigma() const { return AnnouncementSigmas[annonce]; }
    bool announced() const { return annonce != 0; }
    bool isDefault() const { return *this == ObservingConditions(); }
    bool operator==(const ObservingConditions &other) const
    {
        return eclat == other.eclat && scintillation == other.scintillation
               && fondu == other.fondu && bips == other.bips && annonce == other.annonce;
    }
    bool operator!=(const ObservingConditions &other) const { return !(*this == other); }
};

/// Each value brought within its range.
ObservingConditions bounded(ObservingConditions conditions);

/// The star's light as the screen emits it at an "Éclat" step, linear,
/// 1 for the white star: halved at each step.
double eclatLight(int step);
/// Linear light (clipped to 0..1) encoded in sRGB: the pixel value, 0 to 255.
int srgbLevel(double linear);

/// The conditions a trial is made under, from those kept: without pips
/// where no audio output takes them.
ObservingConditions forTrial(const ObservingConditions &kept, bool audioOutput);

/// Where the conditions are kept between runs: velmaris/velmaris.conf in
/// the desktop's configuration folder.
QString keptPath();
/// The kept conditions; defaults where nothing is kept, where the file is
/// not a regular one (nor a link to one: it is not even opened) and for
/// each value that is not one save() writes.
ObservingConditions load();
/// Keeps the conditions, with whatever else the file holds. A link is
/// followed only to a regular file; nothing else is written to or replaced.
/// Returns why they could not be kept, in French, or an empty text.
QString save(const ObservingConditions &conditions);

/// Whether the true time of a trial is shown only after the user's entry.
/// Kept in the same file, but no condition of a trial: trials made with and
/// without it are alike. Off where nothing is kept, and for any value that
/// saveTrueTimeAfterEntry() does not write.
bool loadTrueTimeAfterEntry();
/// Keeps it, as save() keeps the conditions, and says why it could not.
QString saveTrueTimeAfterEntry(bool on);

/// Names a set of conditions in a sentence, as the report line and the
/// choice of conditions give it: "éclat 3, scintillation 3, fondu 200 ms,
/// bips" (or "..., sans bips"), and ", annoncé ± 1 s" after it for an
/// announced event.
QString reportText(const ObservingConditions &conditions);
/// Names a set of conditions in brief, as a column of the runs gives it:
/// "3 / 3 / 200 ms / bips" (or ".../ sans bips"), and " / annoncé ± 1 s"
/// after it for an announced event; columnHeader() names the column and
/// says what each part is.
QString columnText(const ObservingConditions &conditions);
QString columnHeader();
/// The announcement as the conditions' names give it: "annoncé ± 1 s", or
/// empty when unannounced.
QString announcementText(const ObservingConditions &conditions);
/// The announcement's standard deviation as a log writes it: "0", "0.5",
/// "1" or "2".
QByteArray announcementField(const ObservingConditions &conditions);
/// The place in AnnouncementSigmas of a standard deviation as
/// announcementField() writes it; none for any other text.
std::optional<int> announcementOf(QByteArrayView field);

} // namespace Conditions
