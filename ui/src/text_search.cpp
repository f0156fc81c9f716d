#include "ui/text_search.h"

#include <algorithm>

namespace ui {

QList<TextMatch> findAll(QStringView text, QStringView needle, Qt::CaseSensitivity sensitivity) {
    QList<TextMatch> matches;
    if (needle.isEmpty()) {
        return matches;
    }
    for (qsizetype at = text.indexOf(needle, 0, sensitivity); at >= 0;
         at = text.indexOf(needle, at + needle.size(), sensitivity)) {
        matches.append({at, needle.size()});
    }
    return matches;
}

qsizetype matchFrom(const QList<TextMatch>& matches, qsizetype position) {
    if (matches.isEmpty()) {
        return -1;
    }
    const auto found = std::ranges::lower_bound(matches, position, {}, &TextMatch::start);
    return found == matches.end() ? 0 : found - matches.begin();
}

qsizetype stepMatch(qsizetype current, qsizetype count, int step) {
    if (count <= 0) {
        return -1;
    }
    if (current < 0) {
        current = step > 0 ? -1 : 0;
    }
    return ((current + step) % count + count) % count;
}

QList<TextMatch> withRemovedRestored(QList<TextMatch> matches, const QList<qsizetype>& removed) {
    // How many removed characters stand before the shortened text's position `at`.
    const auto before = [&removed](qsizetype at) {
        return std::ranges::upper_bound(removed, at) - removed.begin();
    };
    for (TextMatch& match : matches) {
        const qsizetype last = match.start + match.length - 1;
        const qsizetype start = match.start + before(match.start);
        match.length = last + before(last) + 1 - start;
        match.start = start;
    }
    return matches;
}

}  // namespace ui
