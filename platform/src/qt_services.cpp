#include "platform/qt_services.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/paths.h"

namespace platform {

std::optional<std::filesystem::path> QtSaveDialog::askSavePath(const QString& nameFilter,
                                                               const QString& defaultName) {
    const QString chosen = QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                                        defaultName, nameFilter);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return toPath(chosen);
}

std::optional<std::filesystem::path> QtOpenDialog::askOpenPath(const QStringList& nameFilters) {
    const QString chosen =
        QFileDialog::getOpenFileName(QApplication::activeWindow(), QStringLiteral("Open"),
                                     QString(), nameFilters.join(QStringLiteral(";;")));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return toPath(chosen);
}

void QtMessageBox::show(const QString& text) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("QL Vodadov"));
    box.setTextFormat(Qt::PlainText);  // names from a damaged document are never markup
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

// A message box would grow past the screen with a long text; this one scrolls.
void QtTextViewer::show(const QString& title, const QString& text) {
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(title);
    auto* view = new QPlainTextEdit(&dialog);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setPlainText(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    dialog.resize(560, 320);
    dialog.exec();
}

void QtBeeper::beep() {
    QApplication::beep();
}

}  // namespace platform
