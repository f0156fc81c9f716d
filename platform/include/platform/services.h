#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace platform {

// Asks the user where to save.
class SaveDialog {
  public:
    virtual ~SaveDialog() = default;
    // The chosen file, or nothing when the user cancelled. `nameFilter` is a file dialog
    // filter such as "simpletext (*.txt)"; empty for none. The dialog starts in `startFolder`
    // with `defaultName` filled in.
    virtual std::optional<std::filesystem::path> askSavePath(
        const QString& nameFilter, const QString& defaultName,
        const std::filesystem::path& startFolder) = 0;
};

// Asks the user which document to open.
class OpenDialog {
  public:
    virtual ~OpenDialog() = default;
    // The chosen file, or nothing when the user cancelled. `nameFilters` are file dialog
    // filters such as "Quillora Light (*.qll)", the first one chosen at the start.
    virtual std::optional<std::filesystem::path> askOpenPath(const QStringList& nameFilters) = 0;
};

// Shows a text until the user dismisses it.
class MessageBox {
  public:
    virtual ~MessageBox() = default;
    virtual void show(const QString& text) = 0;
    // A failure: `text` says what failed, `detail` (shown smaller, below it) which file and why.
    virtual void warn(const QString& text, const QString& detail) = 0;
};

// Shows a text that may run to many lines, read-only and scrollable, until the user
// dismisses it.
class TextViewer {
  public:
    // A further tab beside the text: its title, and how to make its page once it is shown.
    struct Tab {
        QString title;
        std::function<QWidget*(QWidget* parent)> makePage;
    };

    virtual ~TextViewer() = default;
    virtual void show(const QString& title, const QString& text) { show(title, text, {}); }
    // With `tabs`, the text is the first of them, titled `textTitle`.
    virtual void show(const QString& title, const QString& text, const std::vector<Tab>& tabs,
                      const QString& textTitle = {}) = 0;
};

// The alert sound.
class Beeper {
  public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};

// What the windows need of the platform, handed to them when they are made.
struct Services {
    SaveDialog& saveDialog;
    OpenDialog& openDialog;
    MessageBox& messageBox;
    TextViewer& textViewer;
    Beeper& beeper;
};

}  // namespace platform
