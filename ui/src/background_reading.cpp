#include "ui/background_reading.h"

#include <QCoreApplication>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <exception>
#include <utility>

namespace ui {

// Shared with the worker, which may outlive the window that started it.
struct BackgroundReading::Job {
    std::atomic<bool> stop = false;
    std::atomic<std::uint64_t> read = 0;
    std::atomic<std::uint64_t> total = 0;
    std::optional<session::ReadDocument> result;
};

BackgroundReading::BackgroundReading(QObject* parent) : QObject(parent) {
    // The application waits for its workers as it ends: they must stop first.
    if (QCoreApplication* app = QCoreApplication::instance(); app != nullptr) {
        connect(app, &QCoreApplication::aboutToQuit, this, &BackgroundReading::cancel);
    }
}

BackgroundReading::~BackgroundReading() {
    cancel();
}

void BackgroundReading::start(const std::filesystem::path& file, salvage::ReadOptions options) {
    cancel();
    auto job = std::make_shared<Job>();
    options.stop = &job->stop;
    options.progress = [raw = job.get()](std::uint64_t read, std::uint64_t total) {
        raw->read.store(read, std::memory_order_relaxed);
        raw->total.store(total, std::memory_order_relaxed);
    };
    watcher_ = new QFutureWatcher<void>(this);
    connect(watcher_, &QFutureWatcher<void>::finished, this, &BackgroundReading::jobEnded);
    job_ = job;
    file_ = file;
    watcher_->setFuture(QtConcurrent::run([job, file, options = std::move(options)] {
        try {
            job->result = session::DocumentSession::read(file, options);
            if (job->result->result.status == salvage::ReadStatus::Refused &&
                options.reading == salvage::Reading::Plain && !job->stop) {
                job->result->holdsSectionTags =
                    session::DocumentSession::thoroughReadingAccepts(file);
            }
        } catch (const std::exception& error) {
            // Told as any file that could not be read, rather than lost on this thread.
            job->result = session::ReadDocument{file,
                                                std::nullopt,
                                                {salvage::ReadStatus::Unreadable, {}, error.what()},
                                                std::nullopt};
        }
    }));
}

void BackgroundReading::cancel() {
    if (!job_) {
        return;
    }
    job_->stop = true;
    job_.reset();
    // Unheard from now on; the worker keeps its job alive until it ends.
    delete std::exchange(watcher_, nullptr);
}

BackgroundReading::Progress BackgroundReading::progress() const {
    if (!job_) {
        return {};
    }
    return {job_->read.load(std::memory_order_relaxed),
            job_->total.load(std::memory_order_relaxed)};
}

session::ReadDocument BackgroundReading::takeResult() {
    session::ReadDocument taken = std::move(result_).value();
    result_.reset();
    return taken;
}

void BackgroundReading::jobEnded() {
    // The future's end orders the worker's writes before this.
    result_ = std::move(job_->result);
    job_.reset();
    watcher_->deleteLater();
    watcher_ = nullptr;
    emit finished();
}

}  // namespace ui
