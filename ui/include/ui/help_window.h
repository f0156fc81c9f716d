#pragma once

#include <QMainWindow>

class QPlainTextEdit;

// "Technical Details": why damaged documents need this program, and where it stops. At most
// one is open; closing it destroys it.
class helpWindow final : public QMainWindow {
    Q_OBJECT
  public:
    // The open window, or a new one.
    static helpWindow* instance();
    // Destroys the open window, if any.
    static void release();

    QPlainTextEdit* EditField1() const { return editField1_; }

  private:
    helpWindow();
    void Layout();
    void CreateControls();

    QPlainTextEdit* editField1_ = nullptr;
};

namespace ui {
// The window's fixed text: six paragraphs separated by empty lines.
QString technicalDetailsText();
}  // namespace ui
