#pragma once

#include <QHeaderView>

class QLineEdit;

namespace ui {

// A list's header with a filter field under its heading: the field stands above the rows
// without taking anything from the place the list itself has in the window.
class FilterHeader final : public QHeaderView {
    Q_OBJECT
  public:
    explicit FilterHeader(QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QSize sizeHint() const override;

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int fieldHeight() const;

    QLineEdit* field_;
};

}  // namespace ui
