#pragma once

#include "platform/services.h"

namespace platform {

// The real dialogs and sound, in front of the active window.
class QtSaveDialog final : public SaveDialog {
  public:
    std::optional<std::filesystem::path> askSavePath(const QString& nameFilter,
                                                     const QString& defaultName) override;
};

class QtMessageBox final : public MessageBox {
  public:
    void show(const QString& text) override;
};

class QtBeeper final : public Beeper {
  public:
    void beep() override;
};

class QtServices {
  public:
    Services services() { return {saveDialog_, messageBox_, beeper_}; }

  private:
    QtSaveDialog saveDialog_;
    QtMessageBox messageBox_;
    QtBeeper beeper_;
};

}  // namespace platform
