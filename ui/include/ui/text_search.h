#pragma once

#include <QList>
#include <QStringView>
#include <Qt>

namespace ui {

struct TextMatch {
    qsizetype start = 0;
    qsizetype length = 0;

    friend bool operator==(const TextMatch&, const TextMatch&) = default;
};

// Every occurrence of `needle` in `text`, left to right, none overlapping the one before (as
// searching on from the end of each match finds them). None for an empty needle.
QList<TextMatch> findAll(QStringView text, QStringView needle, Qt::CaseSensitivity sensitivity);

// The first match that starts at or after `position`, or else the first of all: searching
// wraps around the end. -1 when there is none.
qsizetype matchFrom(const QList<TextMatch>& matches, qsizetype position);

// The index `step` places on from `current` among `count`, wrapping around both ends; -1 when
// there are none. A `current` of -1 counts as standing just before the first.
qsizetype stepMatch(qsizetype current, qsizetype count, int step);

// Matches at positions of a text from which single characters were taken out (at the given
// ascending positions of the shortened text, each standing before the character that followed
// it), as positions of the whole text. A match across such a place covers it.
QList<TextMatch> withRemovedRestored(QList<TextMatch> matches, const QList<qsizetype>& removed);

}  // namespace ui
