#pragma once

#include "platform/services.h"

namespace platform {

// The real dialogs and sound, in front of the active window.
class QtSaveDialog final : public SaveDialog {
  public:
    std::optional<std::filesystem::path> askSavePath(const QString& nameFilter,
                                                     const QString& defaultName) override;
};

class QtOpenDialog final : public OpenDialog {
  public:
    std::optional<std::filesystem::path> askOpenPath(const QStringList& nameFilters) override;
};

class QtMessageBox final : public MessageBox {
  public:
    void show(const QString& text) override;
};

class QtTextViewer final : public TextViewer {
  public:
    void show(const QString& title, const QString& text) override;
};

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
