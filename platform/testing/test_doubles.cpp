#include "platform/test_doubles.h"

namespace platform {

std::optional<std::filesystem::path> ScriptedPaths::next() {
    if (answers_.empty()) {
        return std::nullopt;
    }
    auto path = std::move(answers_.front());
    answers_.pop_front();
    return path;
}

std::optional<std::filesystem::path> FakeSaveDialog::askSavePath(
    const QString& nameFilter, const QString& defaultName,
    const std::filesystem::path& startFolder) {
    requests_.push_back({nameFilter, defaultName, startFolder});
    return answers_.next();
}

std::optional<std::filesystem::path> FakeOpenDialog::askOpenPath(const QStringList& nameFilters) {
    requests_.push_back(nameFilters);
    return answers_.next();
}

}  // namespace platform
