#include "filter_header.h"

#include <QLineEdit>
#include <QResizeEvent>

namespace ui {

FilterHeader::FilterHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), field_(new QLineEdit(this)) {
    field_->setClearButtonEnabled(true);
}

int FilterHeader::fieldHeight() const {
    return field_->sizeHint().height();
}

QSize FilterHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(size.height() + fieldHeight());
    return size;
}

void FilterHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    // The heading keeps its own height; the field covers the rest.
    QHeaderView::paintSection(painter, rect.adjusted(0, 0, 0, -fieldHeight()), logicalIndex);
}

void FilterHeader::resizeEvent(QResizeEvent* event) {
    QHeaderView::resizeEvent(event);
    const int height = fieldHeight();
    field_->setGeometry(0, event->size().height() - height, event->size().width(), height);
}

}  // namespace ui
