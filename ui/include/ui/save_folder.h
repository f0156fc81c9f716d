#pragma once

#include <filesystem>

namespace ui {

// The folder that holds `file`, as an absolute path; empty when it cannot be told.
std::filesystem::path folderOf(const std::filesystem::path& file);

// Where a save dialog starts: the document's folder while it is still there, the user's home
// folder otherwise (no document yet, or its folder was moved or deleted meanwhile).
std::filesystem::path saveStartFolder(const std::filesystem::path& documentFolder);

}  // namespace ui
