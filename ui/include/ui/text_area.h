#pragma once

#include <QString>

class QPlainTextEdit;
class QWidget;

namespace ui {

// A bordered plain-text area, black on white, that wraps at its width, scrolls only
// vertically and leaves the Tab key to move the focus. It takes dragged text, never a file.
QPlainTextEdit* makeTextArea(QWidget* parent, const QString& objectName);

// Shows `panel`, a child of `area` (made by makeTextArea), along the area's bottom inside its
// frame whenever the panel is not hidden; the text then takes the room above it.
void setBottomPanel(QPlainTextEdit* area, QWidget* panel);

}  // namespace ui
