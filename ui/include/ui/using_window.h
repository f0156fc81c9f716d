#pragma once

#include <QMainWindow>

class QPlainTextEdit;

namespace ui {

// "Using QL Vodadov": how to open a document and work through what came back (find, filter,
// damaged lines, wrap, zoom, large files). At most one is open; closing it destroys it.
class UsingWindow final : public QMainWindow {
    Q_OBJECT
  public:
    // The open window, or a new one.
    static UsingWindow* instance();
    // Destroys the open window, if any.
    static void release();

    QPlainTextEdit* text() const { return text_; }

  private:
    UsingWindow();

    QPlainTextEdit* text_ = nullptr;
};

// The window's text.
QString usingText();

}  // namespace ui
