#include "platform/test_doubles.h"

namespace platform {

std::optional<std::filesystem::path> FakeSaveDialog::askSavePath(const QString& nameFilter,
                                                                 const QString& defaultName) {
    requests_.push_back({nameFilter, defaultName});
    if (answers_.empty()) {
        return std::nullopt;
    }
    auto next = std::move(answers_.front());
    answers_.pop_front();
    return next;
}

}  // namespace platform
