#include "ui/help_window.h"

#include <QPlainTextEdit>
#include <QPointer>

#include "ui/edge_lock_layout.h"
#include "ui/text_area.h"

namespace {
QPointer<helpWindow> openInstance;
}

helpWindow* helpWindow::instance() {
    if (openInstance.isNull()) {
        openInstance = new helpWindow;
    }
    return openInstance.data();
}

void helpWindow::release() {
    delete openInstance.data();
}

// A main window rather than a plain widget, which screen readers are told is a "filler": this
// one is a window, named after its title. It has no bars; its one control fills the middle.
helpWindow::helpWindow() : QMainWindow(nullptr) {
    Layout();
    CreateControls();
}

void helpWindow::Layout() {
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Technical Details"));
    setAccessibleName(windowTitle());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setMaximumSize(32000, 32000);
}

void helpWindow::CreateControls() {
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    setCentralWidget(content);
    auto* layout = new ui::EdgeLockLayout(content, QSize(300, 300), QSize(64, 64));
    editField1_ = ui::makeTextArea(content, QStringLiteral("EditField1"));
    editField1_->setReadOnly(true);
    editField1_->setPlainText(ui::technicalDetailsText());
    layout->addWidget(editField1_, QRect(20, 14, 260, 266),
                      ui::LockLeft | ui::LockTop | ui::LockRight | ui::LockBottom);
    resize(300, 300);
}
