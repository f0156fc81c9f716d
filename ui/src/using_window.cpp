#include "ui/using_window.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>

#include "ui/text_area.h"

namespace ui {
namespace {
QPointer<UsingWindow> openInstance;
}

UsingWindow* UsingWindow::instance() {
    if (openInstance.isNull()) {
        openInstance = new UsingWindow;
    }
    return openInstance.data();
}

void UsingWindow::release() {
    delete openInstance.data();
}

UsingWindow::UsingWindow() : QMainWindow(nullptr) {
    setObjectName(QStringLiteral("usingWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Using QL Vodadov"));
    setAccessibleName(windowTitle());
    auto* content = new QWidget(this);
    setCentralWidget(content);
    text_ = makeTextArea(content, QStringLiteral("usingText"));
    text_->setReadOnly(true);
    text_->setPlainText(usingText());
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(text_);
    resize(520, 560);
}

QString usingText() {
    return QStringLiteral(
        "Opening a document\n"
        "Drop a Quillora document (.qlx or .qll) on the list of sections, or choose File > "
        "Open... (Ctrl+O). Its sections are listed on the left; choose one to read its text on "
        "the right. File > Read Thoroughly reads the next documents thoroughly: it also gets "
        "back texts that run over several lines, tags that do not start a line, Base64 that "
        "lost or gained characters, and documents that were converted on the way (UTF-16, "
        "mail, escaped markup).\n"
        "\n"
        "Large documents\n"
        "A large document is read in the background: the window goes on answering, the "
        "status bar shows how far the reading has come, and Cancel stops it. The document "
        "shown before stays shown until the new one is read; opening another document stops "
        "the first reading.\n"
        "\n"
        "Documents with no file left\n"
        "File > Find Documents in Disk Image... looks through a disk image, or a device such "
        "as a memory card (type its path, for instance /dev/sdb), for documents that were "
        "deleted or whose file system is damaged. The documents found are listed as they are "
        "found; Open shows one in this window, named after the image and where it starts. "
        "Nothing is written until you save, and never to the image or device.\n"
        "\n"
        "Finding text in a section\n"
        "Edit > Find... (Ctrl+F) opens the find bar under the text. It finds as you type and "
        "shows how many matches there are; Enter or F3 goes to the next, Shift+Enter or "
        "Shift+F3 to the previous, and \"Match case\" tells capitals apart. Escape closes it. "
        "Finding never changes the text.\n"
        "\n"
        "Filtering the list\n"
        "The field above the list (Ctrl+Shift+F) keeps only the sections whose name or text "
        "holds what you type, whatever its case; the status bar says how many of all are "
        "shown. Choosing a section then finds the phrase in its text. Clear the field to see "
        "every section again. \"Save All Sections...\" always saves every section, shown or "
        "not.\n"
        "\n"
        "What was lost\n"
        "After a document is read, the status bar sums up what was damaged; \"Details...\" "
        "opens the full report. Its \"Damaged lines\" tab lists each line the reading skipped "
        "or decoded with damage, with its line number, its section and what happened. Choose "
        "a row to see the line's bytes as the file holds them, with control characters and "
        "bytes that are not text written as \\xHH, and Copy to copy them, for instance to "
        "send to whoever helps you. When the file has changed or is gone since it was read, "
        "the tab says so instead.\n"
        "\n"
        "Wrap and zoom\n"
        "View > Wrap Lines switches wrapping of long lines in the text; View > Zoom In "
        "(Ctrl++), Zoom Out (Ctrl+-) and Actual Size (Ctrl+0) change the size of its letters. "
        "Every start of the program is the same: no settings are kept.\n"
        "\n"
        "Saving\n"
        "The text you read can be edited. \"Save All Sections...\" writes every section into "
        "one text file; \"Save Just This Section...\" writes the one shown. The document itself "
        "is never written to.");
}

}  // namespace ui
