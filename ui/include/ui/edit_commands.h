#pragma once

#include <QObject>
#include <QPointer>

class QAction;
#include <QPlainTextEdit>
class QWidget;

namespace ui {

// The Edit menu's standard commands, acting on the focused text control and enabled as far
// as it allows: undo, cut, copy, paste, delete the selection, select all.
class EditCommands final : public QObject {
    Q_OBJECT
  public:
    struct Actions {
        QAction* undo;
        QAction* cut;
        QAction* copy;
        QAction* paste;
        QAction* clear;
        QAction* selectAll;
    };

    EditCommands(Actions actions, QObject* parent);

    // Recomputes every command's enabled state from the focused text control.
    void update();

  private:
    // Asking the clipboard can mean a round trip to another program, so typing leaves Paste
    // alone; focus, clipboard and menu changes ask it.
    void refresh(bool withClipboard);
    void follow(QWidget* focused);
    QPlainTextEdit* target() const { return target_.data(); }

    Actions actions_;
    QPointer<QPlainTextEdit> target_;
    QMetaObject::Connection watching_[4];
};

}  // namespace ui
