#include "ui/carve_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "carved_documents_model.h"
#include "platform/paths.h"
#include "platform/services.h"
#include "salvage/report_status_line.h"
#include "session/document_session.h"

namespace ui {
namespace {

CarvedDocumentsModel::Row rowFor(salvage::CarvedDocument&& found) {
    CarvedDocumentsModel::Row row;
    const salvage::Document& document = found.reading.document;
    row.sections = static_cast<int>(document.contents.size());
    if (found.reading.accepted()) {
        if (!document.contents.empty()) {
            const std::string_view name = document.contents[0].name;
            row.name = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        }
        row.damage = QString::fromStdString(
            salvage::reportStatusLine(document.report, document.contents.size()));
    } else {
        row.damage = QString::fromStdString(found.reading.reason);
    }
    row.place = std::move(found.place);
    return row;
}

QString documentsText(std::size_t count) {
    return count == 1 ? QStringLiteral("1 document")
                      : QStringLiteral("%1 documents").arg(QLocale().toString(qulonglong{count}));
}

}  // namespace

CarveWindow::CarveWindow(platform::MessageBox& messages, QWidget* parent)
    : QMainWindow(parent), messages_(messages) {
    setObjectName(QStringLiteral("carveWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Documents Found"));
    setAccessibleName(windowTitle());
    auto* content = new QWidget(this);
    setCentralWidget(content);

    status_ = new QLabel(content);
    status_->setObjectName(QStringLiteral("carveStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    progress_ = new QProgressBar(content);
    progress_->setObjectName(QStringLiteral("carveProgress"));
    progress_->setRange(0, 1000);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), content);
    cancel_->setObjectName(QStringLiteral("cancelCarvingButton"));

    model_ = new CarvedDocumentsModel(this);
    table_ = new QTableView(content);
    table_->setObjectName(QStringLiteral("carvedDocuments"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    open_ = new QPushButton(QStringLiteral("Open"), content);
    open_->setObjectName(QStringLiteral("openCarvedButton"));
    open_->setToolTip(QStringLiteral("Show the document in the main window (nothing is saved)"));
    open_->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(progress_, 1);
    bar->addWidget(cancel_);
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(status_);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);
    layout->addWidget(open_, 0, Qt::AlignRight);
    resize(640, 420);

    connect(cancel_, &QPushButton::clicked, this, &CarveWindow::cancel);
    connect(&watcher_, &QFutureWatcherBase::finished, this, &CarveWindow::ended);
    connect(table_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { openRow(index.row()); });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { open_->setEnabled(current.isValid()); });
    connect(open_, &QPushButton::clicked, this,
            [this] { openRow(table_->selectionModel()->currentIndex().row()); });
}

CarveWindow::~CarveWindow() {
    cancel();
    watcher_.waitForFinished();
}

void CarveWindow::start(const std::filesystem::path& source) {
    cancel();
    watcher_.waitForFinished();
    model_->clear();
    open_->setEnabled(false);
    source_ = source;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    const QString name = platform::toQString(source);
    setWindowTitle(QStringLiteral("Documents Found in ") + platform::toQString(source.filename()));
    status_->setText(QStringLiteral("Looking for documents in %1...").arg(name));
    progress_->setValue(0);
    progress_->show();
    cancel_->show();
    cancel_->setEnabled(true);

    // Each carving's reports carry its own flag: those of a carving stopped for a new one may
    // still be on their way, and must not reach the new list.
    const std::shared_ptr<std::atomic<bool>> stop = stop_;
    salvage::CarveCallbacks callbacks;
    callbacks.stop = stop.get();
    callbacks.document = [this, stop](salvage::CarvedDocument&& found) {
        QMetaObject::invokeMethod(
            this,
            [this, stop, row = rowFor(std::move(found))]() mutable {
                if (stop == stop_) {
                    model_->add(std::move(row));
                }
            },
            Qt::QueuedConnection);
    };
    callbacks.progress = [this, stop](std::uint64_t done, std::uint64_t total, std::size_t) {
        QMetaObject::invokeMethod(
            this,
            [this, stop, done, total] {
                if (stop == stop_ && total != 0) {
                    progress_->setValue(static_cast<int>(done * 1000 / total));
                }
            },
            Qt::QueuedConnection);
    };
    salvage::CarveOptions options;
    options.threads = session::availableCores();
    watcher_.setFuture(QtConcurrent::run(
        [source, options, callbacks, stop] { return salvage::carve(source, options, callbacks); }));
}

void CarveWindow::cancel() {
    if (stop_) {
        stop_->store(true);
    }
}

const salvage::DocumentPlace& CarveWindow::place(int row) const {
    return model_->row(row).place;
}

void CarveWindow::openRow(int row) {
    if (row >= 0 && row < model_->rowCount()) {
        emit openRequested(source_, place(row));
    }
}

void CarveWindow::ended() {
    progress_->hide();
    cancel_->hide();
    const salvage::CarveSummary summary = watcher_.result();
    const QString name = platform::toQString(source_);
    const auto found = static_cast<std::size_t>(model_->rowCount());
    if (summary.error) {
        QString reason = QString::fromStdString(*summary.error);
        if (summary.error->find("Permission denied") != std::string::npos) {
            reason += QStringLiteral(
                ". Reading a device usually needs administrator rights, which this program "
                "does not have: copy the device to an image file first, or run the program as "
                "a user who may read it");
        }
        status_->setText(QStringLiteral("Could not look through %1: %2.").arg(name, reason));
        messages_.warn(QStringLiteral("The disk image or device could not be read."),
                       QStringLiteral("%1: %2.").arg(name, reason));
    } else if (stop_ && stop_->load()) {
        status_->setText(QStringLiteral("Stopped: %1 found before the search was cancelled. "
                                        "The list is not complete.")
                             .arg(documentsText(found)));
    } else if (found == 0) {
        status_->setText(QStringLiteral("No documents found in %1.").arg(name));
    } else {
        QString text = QStringLiteral("Found %1 in %2.").arg(documentsText(found), name);
        if (summary.unreadableBytes != 0) {
            text +=
                QStringLiteral(" %1 could not be read and were skipped.")
                    .arg(QLocale().formattedDataSize(static_cast<qint64>(summary.unreadableBytes)));
        }
        status_->setText(text);
    }
    emit carvingEnded();
}

}  // namespace ui
