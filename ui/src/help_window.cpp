#include "ui/help_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPlainTextEdit>
#include <QPointer>

#include "ui/edge_lock_layout.h"
#include "ui/text_area.h"

namespace {

QPointer<helpWindow> openInstance;

// A plain top-level widget tells screen readers it is a "filler"; this one is a window, named
// after its title.
QAccessibleInterface* accessibleHelpWindow(const QString& className, QObject* object) {
    if (className != QLatin1String("helpWindow") || !object->isWidgetType()) {
        return nullptr;
    }
    auto* window = static_cast<QWidget*>(object);
    return new QAccessibleWidget(window, QAccessible::Window, window->windowTitle());
}

}  // namespace

helpWindow* helpWindow::instance() {
    if (openInstance.isNull()) {
        openInstance = new helpWindow;
    }
    return openInstance.data();
}

void helpWindow::release() {
    delete openInstance.data();
}

helpWindow::helpWindow() : QWidget(nullptr, Qt::Window) {
    static const bool accessibleAsWindow = [] {
        QAccessible::installFactory(accessibleHelpWindow);
        return true;
    }();
    Q_UNUSED(accessibleAsWindow);
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
    auto* layout = new ui::EdgeLockLayout(this, QSize(300, 300), QSize(64, 64));
    editField1_ = ui::makeTextArea(this, QStringLiteral("EditField1"));
    editField1_->setReadOnly(true);
    editField1_->setPlainText(ui::technicalDetailsText());
    layout->addWidget(editField1_, QRect(20, 14, 260, 266),
                      ui::LockLeft | ui::LockTop | ui::LockRight | ui::LockBottom);
    resize(300, 300);
}
