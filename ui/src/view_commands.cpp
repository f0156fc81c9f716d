#include "ui/view_commands.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>

namespace ui {
namespace {

constexpr qreal kSmallest = 4;
constexpr qreal kLargest = 96;

// Sizes in points where the font has them, in pixels where it was given in pixels.
qreal sizeOf(const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize();
}

}  // namespace

ViewCommands::ViewCommands(QPlainTextEdit* area, Actions actions)
    : QObject(area), area_(area), actions_(actions), actual_(area->document()->defaultFont()) {
    actions_.wrapLines->setChecked(area_->lineWrapMode() != QPlainTextEdit::NoWrap);
    connect(actions_.wrapLines, &QAction::toggled, this, &ViewCommands::wrapLines);
    connect(actions_.zoomIn, &QAction::triggered, this, [this] { zoom(1); });
    connect(actions_.zoomOut, &QAction::triggered, this, [this] { zoom(-1); });
    connect(actions_.actualSize, &QAction::triggered, this, [this] { zoom(-level_); });
    zoom(0);
}

void ViewCommands::wrapLines(bool wrapped) {
    area_->setLineWrapMode(wrapped ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    area_->setHorizontalScrollBarPolicy(wrapped ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

void ViewCommands::zoom(int steps) {
    const qreal actual = sizeOf(actual_);
    const int least = static_cast<int>(std::min<qreal>(0, kSmallest - actual));
    const int most = static_cast<int>(std::max<qreal>(0, kLargest - actual));
    level_ = std::clamp(level_ + steps, least, most);
    QFont font = actual_;
    if (actual_.pointSizeF() > 0) {
        font.setPointSizeF(actual + level_);
    } else {
        font.setPixelSize(static_cast<int>(actual) + level_);
    }
    // The document's font, not the area's: the area's would pass to the find bar inside it.
    area_->document()->setDefaultFont(font);
    actions_.zoomIn->setEnabled(level_ < most);
    actions_.zoomOut->setEnabled(level_ > least);
}

}  // namespace ui
