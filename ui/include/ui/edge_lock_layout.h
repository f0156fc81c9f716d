#pragma once

#include <QLayout>
#include <QRect>
#include <QSize>
#include <vector>

namespace ui {

// The edges of a control that keep their distance from the same edge of the window.
enum LockedEdge : unsigned {
    LockLeft = 1u << 0,
    LockTop = 1u << 1,
    LockRight = 1u << 2,
    LockBottom = 1u << 3,
};

// Where a control designed at `design` in a container of `designSize` stands in a container
// of `size`: locked on both sides of an axis it stretches, locked on one it keeps its size and
// its distance from that side.
QRect lockedGeometry(const QRect& design, const QSize& designSize, const QSize& size,
                     unsigned lockedEdges);

// Places each widget at its designed position and keeps its locked edges as the container
// is resized. Its size hint is the designed size; its minimum is given.
class EdgeLockLayout final : public QLayout {
  public:
    EdgeLockLayout(QWidget* container, QSize designSize, QSize minimumSize);
    ~EdgeLockLayout() override;

    void addWidget(QWidget* widget, const QRect& design, unsigned lockedEdges);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override { return designSize_; }
    QSize minimumSize() const override { return minimumSize_; }
    void setGeometry(const QRect& rect) override;

  private:
    struct Entry {
        QLayoutItem* item;
        QRect design;
        unsigned lockedEdges;
    };

    QSize designSize_;
    QSize minimumSize_;
    std::vector<Entry> entries_;
};

}  // namespace ui
