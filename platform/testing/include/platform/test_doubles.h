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

// The paths a dialog double answers with, in order; with none queued the dialog is cancelled.
class ScriptedPaths {
  public:
    void push(std::optional<std::filesystem::path> path) { answers_.push_back(std::move(path)); }
    std::optional<std::filesystem::path> next();

  private:
    std::deque<std::optional<std::filesystem::path>> answers_;
};

class FakeSaveDialog final : public SaveDialog {
  public:
    struct Request {
        QString nameFilter;
        QString defaultName;
        std::filesystem::path startFolder;
    };

    void answer(std::optional<std::filesystem::path> path) { answers_.push(std::move(path)); }

    std::optional<std::filesystem::path> askSavePath(
        const QString& nameFilter, const QString& defaultName,
        const std::filesystem::path& startFolder) override;

    const std::vector<Request>& requests() const { return requests_; }

  private:
    ScriptedPaths answers_;
    std::vector<Request> requests_;
};

class FakeOpenDialog final : public OpenDialog {
  public:
    void answer(std::optional<std::filesystem::path> path) { answers_.push(std::move(path)); }

    std::optional<std::filesystem::path> askOpenPath(const QStringList& nameFilters) override;

    // The filters of each time the dialog was shown.
    const std::vector<QStringList>& requests() const { return requests_; }

  private:
    ScriptedPaths answers_;
    std::vector<QStringList> requests_;
};

// Plain messages and warnings alike land in shown(); details() holds each one's detail, empty
// for a plain message.
class FakeMessageBox final : public MessageBox {
  public:
    void show(const QString& text) override {
        shown_.append(text);
        details_.append(QString());
    }
    void warn(const QString& text, const QString& detail) override {
        shown_.append(text);
        details_.append(detail);
        ++warnings_;
    }
    const QStringList& shown() const { return shown_; }
    const QStringList& details() const { return details_; }
    int warnings() const { return warnings_; }
    void clear() {
        shown_.clear();
        details_.clear();
        warnings_ = 0;
    }

  private:
    QStringList shown_;
    QStringList details_;
    int warnings_ = 0;
};

class FakeTextViewer final : public TextViewer {
  public:
    struct Shown {
        QString title;
        QString text;
        std::vector<Tab> tabs;
        QString textTitle;
    };

    using TextViewer::show;
    void show(const QString& title, const QString& text, const std::vector<Tab>& tabs,
              const QString& textTitle) override {
        shown_.push_back({title, text, tabs, textTitle});
    }
    const std::vector<Shown>& shown() const { return shown_; }

  private:
    std::vector<Shown> shown_;
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
    Services services() { return {saveDialog, openDialog, messageBox, textViewer, beeper}; }

    FakeSaveDialog saveDialog;
    FakeOpenDialog openDialog;
    FakeMessageBox messageBox;
    FakeTextViewer textViewer;
    CountingBeeper beeper;
};

}  // namespace platform
