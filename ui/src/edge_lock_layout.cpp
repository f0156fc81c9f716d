#include "ui/edge_lock_layout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

namespace ui {
namespace {

struct Span {
    int start;
    int length;
};

Span lockedSpan(int start, int length, int designExtent, int extent, bool lockStart, bool lockEnd) {
    const int endMargin = designExtent - (start + length);
    if (lockStart && lockEnd) {
        return {start, std::max(0, extent - start - endMargin)};
    }
    if (lockEnd) {
        return {extent - endMargin - length, length};
    }
    return {start, length};
}

}  // namespace

QRect lockedGeometry(const QRect& design, const QSize& designSize, const QSize& size,
                     unsigned lockedEdges) {
    const Span x = lockedSpan(design.x(), design.width(), designSize.width(), size.width(),
                              (lockedEdges & LockLeft) != 0, (lockedEdges & LockRight) != 0);
    const Span y = lockedSpan(design.y(), design.height(), designSize.height(), size.height(),
                              (lockedEdges & LockTop) != 0, (lockedEdges & LockBottom) != 0);
    return {x.start, y.start, x.length, y.length};
}

EdgeLockLayout::EdgeLockLayout(QWidget* container, QSize designSize, QSize minimumSize)
    : QLayout(container), designSize_(designSize), minimumSize_(minimumSize) {
    setContentsMargins(0, 0, 0, 0);
}

EdgeLockLayout::~EdgeLockLayout() {
    for (const auto& entry : entries_) {
        delete entry.item;
    }
}

void EdgeLockLayout::addWidget(QWidget* widget, const QRect& design, unsigned lockedEdges) {
    addChildWidget(widget);
    entries_.push_back({new QWidgetItem(widget), design, lockedEdges});
    invalidate();
}

void EdgeLockLayout::addItem(QLayoutItem* item) {
    entries_.push_back({item, QRect(QPoint(0, 0), item->sizeHint()), LockLeft | LockTop});
}

int EdgeLockLayout::count() const {
    return static_cast<int>(entries_.size());
}

QLayoutItem* EdgeLockLayout::itemAt(int index) const {
    if (index < 0 || index >= count()) {
        return nullptr;
    }
    return entries_[static_cast<std::size_t>(index)].item;
}

QLayoutItem* EdgeLockLayout::takeAt(int index) {
    if (index < 0 || index >= count()) {
        return nullptr;
    }
    const auto position = entries_.begin() + index;
    QLayoutItem* item = position->item;
    entries_.erase(position);
    return item;
}

void EdgeLockLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    for (const auto& entry : entries_) {
        const QRect placed =
            lockedGeometry(entry.design, designSize_, rect.size(), entry.lockedEdges)
                .translated(rect.topLeft());
        // Straight to the widget: a layout item would bend the designed size to the
        // widget's size policy.
        if (QWidget* widget = entry.item->widget()) {
            widget->setGeometry(placed);
        } else {
            entry.item->setGeometry(placed);
        }
    }
}

}  // namespace ui
