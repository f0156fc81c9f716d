#pragma once

#include <QString>
#include <filesystem>
#include <string_view>

namespace ui {

// The smaller text under the refusal message: the refused file, and why where that is known.
QString refusalDetail(const std::filesystem::path& file, std::string_view reason);

}  // namespace ui
