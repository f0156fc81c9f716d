#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/services.h"

// Stand-ins that never block: they answer from a queue and remember what they were asked.
namespace platform {

class FakeSaveDialog final : public SaveDialog {
  public:
    struct Request {
        QString nameFilter;
        QString defaultName;
    };

    // The next answers, in order; with none queued the dialog is cancelled.
    void answer(std::optional<std::filesystem::path> path) { answers_.push_back(std::move(path)); }

    std::optional<std::filesystem::path> askSavePath(const QString& nameFilter,
                                                     const QString& defaultName) override;

    const std::vector<Request>& requests() const { return requests_; }

  private:
    std::deque<std::optional<std::filesystem::path>> answers_;
    std::vector<Request> requests_;
};

class FakeMessageBox final : public MessageBox {
  public:
    void show(const QString& text) override { shown_.append(text); }
    const QStringList& shown() const { return shown_; }
    void clear() { shown_.clear(); }

  private:
    QStringList shown_;
};

class CountingBeeper final : public Beeper {
  public:
    void beep() override { ++count_; }
    int count() const { return count_; }

  private:
    int count_ = 0;
};

class FakeServices {
  public:
    Services services() { return {saveDialog, messageBox, beeper}; }

    FakeSaveDialog saveDialog;
    FakeMessageBox messageBox;
    CountingBeeper beeper;
};

}  // namespace platform
