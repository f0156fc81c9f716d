#pragma once

#include <QList>
#include <QString>

class QPlainTextEdit;
class QTextDocument;

namespace ui {

// Puts `text` into a text area so that it shows at once, however long its paragraphs. A text
// area lays a paragraph out whole before it shows any of it, which takes seconds for one of
// megabytes; so such a paragraph is shown in pieces, with breaks between them that exist only
// on screen and that areaText() leaves out.
void setAreaText(QPlainTextEdit* area, const QString& text);

// The area's text with the user's edits, each line break as LF (the area keeps CR, CR LF and
// U+2029 as breaks of its own kind) and without the on-screen-only breaks.
QString areaText(const QPlainTextEdit* area);

// The document positions of the on-screen-only breaks, ascending.
QList<int> onScreenBreaks(const QTextDocument* document);

// `text` stands for the document's characters from position `from` on, one for one (as its raw
// or plain text does): the same without the on-screen-only breaks among them.
QString withoutOnScreenBreaks(const QTextDocument* document, QStringView text, int from);

}  // namespace ui
