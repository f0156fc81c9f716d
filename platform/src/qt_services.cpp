#include "platform/qt_services.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/paths.h"

namespace platform {

std::optional<std::filesystem::path> QtSaveDialog::askSavePath(
    const QString& nameFilter, const QString& defaultName,
    const std::filesystem::path& startFolder) {
    // The dialog takes the folder and the name as one path; a name is never a path of its own.
    const QString start = QDir(toQString(startFolder)).filePath(defaultName);
    const QString chosen =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), start, nameFilter);
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

namespace {

void showBox(QMessageBox::Icon icon, const QString& text, const QString& detail) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("QL Vodadov"));
    box.setIcon(icon);
    box.setTextFormat(Qt::PlainText);  // names from a damaged document are never markup
    box.setText(text);
    box.setInformativeText(detail);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setTextFormat(Qt::PlainText);  // it would otherwise guess, as the text's would
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace

void QtMessageBox::show(const QString& text) {
    showBox(QMessageBox::NoIcon, text, QString());
}

void QtMessageBox::warn(const QString& text, const QString& detail) {
    showBox(QMessageBox::Warning, text, detail);
}

// A message box would grow past the screen with a long text; this one scrolls.
std::unique_ptr<QDialog> makeTextViewerDialog(QWidget* parent, const QString& title,
                                              const QString& text,
                                              const std::vector<TextViewer::Tab>& tabs,
                                              const QString& textTitle) {
    auto dialog = std::make_unique<QDialog>(parent);
    dialog->setWindowTitle(title);
    auto* view = new QPlainTextEdit(dialog.get());
    view->setObjectName(QStringLiteral("viewerText"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setPlainText(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog.get());
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog.get());
    if (tabs.empty()) {
        layout->addWidget(view);
    } else {
        auto* pages = new QTabWidget(dialog.get());
        pages->setObjectName(QStringLiteral("viewerTabs"));
        pages->addTab(view, textTitle);
        for (const TextViewer::Tab& tab : tabs) {
            pages->addTab(tab.makePage(pages), tab.title);
        }
        layout->addWidget(pages);
    }
    layout->addWidget(buttons);
    dialog->resize(560, 320);
    return dialog;
}

void QtTextViewer::show(const QString& title, const QString& text, const std::vector<Tab>& tabs,
                        const QString& textTitle) {
    makeTextViewerDialog(QApplication::activeWindow(), title, text, tabs, textTitle)->exec();
}

void QtBeeper::beep() {
    QApplication::beep();
}

}  // namespace platform
