#pragma once

#include <QFont>
#include <QObject>

class QAction;
class QPlainTextEdit;

namespace ui {

// The View menu's commands on one text area: wrapping its lines at its width or not, and
// showing its text larger or smaller. Nothing of it is kept between runs.
class ViewCommands final : public QObject {
    Q_OBJECT
  public:
    struct Actions {
        QAction* wrapLines;
        QAction* zoomIn;
        QAction* zoomOut;
        QAction* actualSize;
    };

    // The area's font at this moment is its actual size.
    ViewCommands(QPlainTextEdit* area, Actions actions);

    // Steps of one point from the actual size, within the sizes that still read.
    void zoom(int steps);
    int zoomLevel() const { return level_; }

  private:
    void wrapLines(bool wrapped);

    QPlainTextEdit* area_;
    Actions actions_;
    QFont actual_;
    int level_ = 0;
};

}  // namespace ui
