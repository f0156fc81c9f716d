#include "ui/refusal_detail.h"

#include "platform/paths.h"

namespace ui {

QString refusalDetail(const std::filesystem::path& file, std::string_view reason) {
    QString detail = QStringLiteral("File: ") + platform::toQString(file);
    if (!reason.empty()) {
        detail += QStringLiteral("\nReason: ") + platform::fromUtf8Bytes(reason) + u'.';
    }
    return detail;
}

}  // namespace ui
