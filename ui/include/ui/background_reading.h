#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "salvage/reader.h"
#include "session/document_session.h"

namespace ui {

// Reads one document at a time on a worker thread, so that the window keeps answering. A
// reading that is cancelled, or replaced by another, is told to stop and is never heard of
// again: its worker ends at its next block and drops what it read.
class BackgroundReading final : public QObject {
    Q_OBJECT
  public:
    explicit BackgroundReading(QObject* parent = nullptr);
    // Stops the reading under way; leaving must not wait for it.
    ~BackgroundReading() override;

    void start(const std::filesystem::path& file, salvage::ReadOptions options);
    void cancel();
    bool busy() const { return job_ != nullptr; }
    // The file being read, while busy().
    const std::filesystem::path& file() const { return file_; }

    struct Progress {
        std::uint64_t read = 0;
        std::uint64_t total = 0;  // 0 when unknown
    };
    Progress progress() const;

    // The reading that just finished; valid once, after finished().
    session::ReadDocument takeResult();

  signals:
    void finished();

  private:
    struct Job;
    void jobEnded();

    std::shared_ptr<Job> job_;
    std::filesystem::path file_;
    QFutureWatcher<void>* watcher_ = nullptr;
    std::optional<session::ReadDocument> result_;
};

}  // namespace ui
