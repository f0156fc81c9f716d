#include "ui/save_folder.h"

#include <QDir>
#include <system_error>

#include "platform/paths.h"

namespace ui {

std::filesystem::path folderOf(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return error ? std::filesystem::path() : absolute.parent_path();
}

std::filesystem::path saveStartFolder(const std::filesystem::path& documentFolder) {
    std::error_code error;
    if (!documentFolder.empty() && std::filesystem::is_directory(documentFolder, error)) {
        return documentFolder;
    }
    return platform::toPath(QDir::homePath());
}

}  // namespace ui
