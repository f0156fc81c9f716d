#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <optional>

class QMimeData;
class QWidget;

namespace ui {

// The first local file a drag carries, if any; further files are left alone.
std::optional<std::filesystem::path> firstDroppedFile(const QMimeData* data);

// Makes a widget take drops of files. The drag is accepted only when it carries a file that
// `accepts` allows, and always as a copy, so the source never deletes what it let go. The
// drop is handed on after the drag has finished, so that anything the handler shows does not
// hold up the program the file came from.
class FileDropTarget final : public QObject {
  public:
    using Accepts = std::function<bool(const std::filesystem::path&)>;
    using Dropped = std::function<void(const std::filesystem::path&)>;

    FileDropTarget(QWidget* target, Accepts accepts, Dropped dropped);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Accepts accepts_;
    Dropped dropped_;
};

}  // namespace ui
