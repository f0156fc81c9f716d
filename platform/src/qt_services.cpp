#include "platform/qt_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

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

void QtMessageBox::show(const QString& text) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("QL Vodadov"));
    box.setTextFormat(Qt::PlainText);  // names from a damaged document are never markup
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void QtBeeper::beep() {
    QApplication::beep();
}

}  // namespace platform
