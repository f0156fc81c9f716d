#include "ui/edit_commands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace ui {

EditCommands::EditCommands(Actions actions, QObject* parent) : QObject(parent), actions_(actions) {
    const auto onTarget = [this](void (QPlainTextEdit::*command)()) {
        return [this, command] {
            if (QPlainTextEdit* edit = target()) {
                (edit->*command)();
            }
        };
    };
    connect(actions_.undo, &QAction::triggered, this, onTarget(&QPlainTextEdit::undo));
    connect(actions_.cut, &QAction::triggered, this, onTarget(&QPlainTextEdit::cut));
    connect(actions_.copy, &QAction::triggered, this, onTarget(&QPlainTextEdit::copy));
    connect(actions_.paste, &QAction::triggered, this, onTarget(&QPlainTextEdit::paste));
    connect(actions_.selectAll, &QAction::triggered, this, onTarget(&QPlainTextEdit::selectAll));
    connect(actions_.clear, &QAction::triggered, this, [this] {
        if (QPlainTextEdit* edit = target(); edit != nullptr && !edit->isReadOnly()) {
            edit->textCursor().removeSelectedText();
        }
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &EditCommands::update);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
    follow(QApplication::focusWidget());
}

void EditCommands::follow(QWidget* focused) {
    auto* edit = qobject_cast<QPlainTextEdit*>(focused);
    // Menus and their bar take no focus from a text control; anything else that takes focus
    // leaves the Edit commands without a target.
    if (edit != target_) {
        for (auto& connection : watching_) {
            disconnect(connection);
        }
        target_ = edit;
        if (edit != nullptr) {
            const auto refreshText = [this] { refresh(false); };
            watching_[0] = connect(edit, &QPlainTextEdit::undoAvailable, this, refreshText);
            watching_[1] = connect(edit, &QPlainTextEdit::copyAvailable, this, refreshText);
            watching_[2] = connect(edit, &QPlainTextEdit::textChanged, this, refreshText);
            watching_[3] = connect(edit, &QObject::destroyed, this, [this] {
                target_.clear();
                refresh(true);
            });
        }
    }
    update();
}

void EditCommands::update() {
    refresh(true);
}

void EditCommands::refresh(bool withClipboard) {
    QPlainTextEdit* edit = target();
    const bool any = edit != nullptr;
    const bool writable = any && !edit->isReadOnly();
    const bool selection = any && edit->textCursor().hasSelection();
    actions_.undo->setEnabled(writable && edit->document()->isUndoAvailable());
    actions_.cut->setEnabled(writable && selection);
    actions_.copy->setEnabled(selection);
    if (withClipboard || !writable) {
        actions_.paste->setEnabled(writable && edit->canPaste());
    }
    actions_.clear->setEnabled(writable && selection);
    actions_.selectAll->setEnabled(any && !edit->document()->isEmpty());
}

}  // namespace ui
