#pragma once

#include <memory>

#include "platform/services.h"

class QDialog;
class QWidget;

namespace platform {

// The real dialogs and sound, in front of the active window.
class QtSaveDialog final : public SaveDialog {
  public:
    std::optional<std::filesystem::path> askSavePath(
        const QString& nameFilter, const QString& defaultName,
        const std::filesystem::path& startFolder) override;
};

class QtOpenDialog final : public OpenDialog {
  public:
    std::optional<std::filesystem::path> askOpenPath(const QStringList& nameFilters) override;
};

class QtMessageBox final : public MessageBox {
  public:
    void show(const QString& text) override;
    void warn(const QString& text, const QString& detail) override;
};

class QtTextViewer final : public TextViewer {
  public:
    using TextViewer::show;
    void show(const QString& title, const QString& text, const std::vector<Tab>& tabs,
              const QString& textTitle) override;
};

// The viewer's dialog, not yet shown: long lines wrap at its width, so that nothing at the end
// of one is out of sight. With `tabs`, the text is the first tab's page.
std::unique_ptr<QDialog> makeTextViewerDialog(QWidget* parent, const QString& title,
                                              const QString& text,
                                              const std::vector<TextViewer::Tab>& tabs = {},
                                              const QString& textTitle = {});

class QtBeeper final : public Beeper {
  public:
    void beep() override;
};

class QtServices {
  public:
    Services services() { return {saveDialog_, openDialog_, messageBox_, textViewer_, beeper_}; }

  private:
    QtSaveDialog saveDialog_;
    QtOpenDialog openDialog_;
    QtMessageBox messageBox_;
    QtTextViewer textViewer_;
    QtBeeper beeper_;
};

}  // namespace platform
