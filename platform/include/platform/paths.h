#pragma once

#include <QString>
#include <filesystem>
#include <string_view>

namespace platform {

// File names travel between Qt and the standard library in the file system's own encoding,
// so a name that is not valid UTF-8 still names the same file.
std::filesystem::path toPath(const QString& fileName);
QString toQString(const std::filesystem::path& path);

// Bytes meant as UTF-8 (section names and texts); invalid sequences show as U+FFFD.
QString fromUtf8Bytes(std::string_view bytes);

}  // namespace platform
