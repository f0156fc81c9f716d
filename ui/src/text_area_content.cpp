#include "ui/text_area_content.h"

#include <QPlainTextEdit>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

namespace ui {
namespace {

// Paragraphs up to this many characters are shown as they are; longer ones in pieces of about
// kPiece characters, which the area lays out in a few milliseconds each, and only when they
// come into sight.
constexpr qsizetype kLongParagraph = 8192;
constexpr qsizetype kPiece = 4096;
constexpr qsizetype kSpaceSearch = 256;  // how far back a piece looks for a space to end at

// A piece after an on-screen-only break carries a number of its own in its block format. The
// format, unlike a block's user state, survives edits and undo as the break does: a block
// split in two passes it to both halves (only the first is still the piece: the user's new
// break comes before the second), and two blocks joined keep the first one's.
constexpr int kPieceProperty = QTextFormat::UserProperty + 0x51;

// The characters a text area starts a new paragraph at; CR LF, taken as one, is made LF first.
bool isParagraphBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == u'\uFDD0' ||
           c == u'\uFDD1';
}

// Where the piece that starts at `start` ends: after a space where one is near, so that the
// break looks like the area's own wrapping, and never inside a character or before a mark.
qsizetype pieceEnd(const QString& text, qsizetype start, qsizetype paragraphEnd) {
    const qsizetype end = start + kPiece;
    if (paragraphEnd - end < kPiece / 2) {
        return paragraphEnd;  // no short last piece
    }
    for (qsizetype at = end; at > end - kSpaceSearch; --at) {
        if (text[at - 1] == u' ') {
            return at;
        }
    }
    qsizetype at = end;
    while (at > start + 1 && (text[at].isLowSurrogate() || text[at].isMark())) {
        --at;
    }
    return at;
}

bool hasLongParagraph(const QString& text) {
    qsizetype length = 0;
    for (const QChar c : text) {
        length = isParagraphBreak(c) ? 0 : length + 1;
        if (length > kLongParagraph) {
            return true;
        }
    }
    return false;
}

}  // namespace

void setAreaText(QPlainTextEdit* area, const QString& original) {
    if (!hasLongParagraph(original)) {
        area->setPlainText(original);
        return;
    }
    QString text = original;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));  // one break, as the area takes it
    QString shown;
    shown.reserve(text.size() + text.size() / kPiece + 1);
    std::vector<qsizetype> pieceStarts;  // positions in `shown`
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = start;
        while (end < text.size() && !isParagraphBreak(text[end])) {
            ++end;
        }
        for (qsizetype piece = start; piece < end;) {
            const qsizetype stop = end - start > kLongParagraph ? pieceEnd(text, piece, end) : end;
            shown.append(QStringView(text).sliced(piece, stop - piece));
            if (stop < end) {
                shown.append(u'\n');
                pieceStarts.push_back(shown.size());
            }
            piece = stop;
        }
        if (end < text.size()) {
            shown.append(text[end]);
        }
        start = end + 1;
    }

    area->setPlainText(shown);
    QTextDocument* document = area->document();
    // Marking the pieces is no edit: neither undone nor counted as a change.
    document->setUndoRedoEnabled(false);
    int number = 0;
    for (const qsizetype position : pieceStarts) {
        QTextBlockFormat piece;
        piece.setProperty(kPieceProperty, ++number);
        QTextCursor(document->findBlock(static_cast<int>(position))).mergeBlockFormat(piece);
    }
    document->setUndoRedoEnabled(true);
    document->setModified(false);
}

QList<int> onScreenBreaks(const QTextDocument* document) {
    QList<int> breaks;
    QSet<int> seen;
    for (QTextBlock block = document->begin().next(); block.isValid(); block = block.next()) {
        const int piece = block.blockFormat().intProperty(kPieceProperty);
        if (piece != 0 && !seen.contains(piece)) {
            seen.insert(piece);
            breaks.append(block.position() - 1);
        }
    }
    return breaks;
}

QString withoutOnScreenBreaks(const QTextDocument* document, QStringView text, int from) {
    QString kept;
    kept.reserve(text.size());
    const qsizetype end = from + text.size();
    qsizetype copied = from;
    for (const int onScreenBreak : onScreenBreaks(document)) {
        if (onScreenBreak >= end) {
            break;
        }
        if (onScreenBreak >= from) {
            kept.append(text.sliced(copied - from, onScreenBreak - copied));
            copied = onScreenBreak + 1;
        }
    }
    kept.append(text.sliced(copied - from));
    return kept;
}

QString areaText(const QPlainTextEdit* area) {
    const QTextDocument* document = area->document();
    // The raw text keeps no-break spaces, which toPlainText() would make spaces.
    QString text = withoutOnScreenBreaks(document, document->toRawText(), 0);
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

}  // namespace ui
