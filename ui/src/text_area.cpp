#include "ui/text_area.h"

#include <QPalette>
#include <QPlainTextEdit>

namespace ui {

QPlainTextEdit* makeTextArea(QWidget* parent, const QString& objectName) {
    auto* area = new QPlainTextEdit(parent);
    area->setObjectName(objectName);
    area->setFrameShape(QFrame::StyledPanel);
    area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setTabChangesFocus(true);
    QPalette palette = area->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    area->setPalette(palette);
    return area;
}

}  // namespace ui
