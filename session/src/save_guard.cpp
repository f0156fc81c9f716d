#include "session/save_guard.h"

#include <string>

namespace session {

void SaveGuard::protectPath(const std::filesystem::path& path) {
    if (const auto identity = kestLibrary::identityOfPath(path)) {
        inputs_.insert(*identity);
    }
}

void SaveGuard::protectDescriptor(int fd) {
    if (const auto identity = kestLibrary::identityOfRegularDescriptor(fd)) {
        inputs_.insert(*identity);
    }
}

void SaveGuard::protectDocument(std::optional<kestLibrary::FileIdentity> identity) {
    document_ = identity;
}

bool SaveGuard::protects(const std::filesystem::path& destination) const {
    const auto identity = kestLibrary::identityOfPath(destination);
    return identity && (identity == document_ || inputs_.contains(*identity));
}

std::optional<kestLibrary::IoError> SaveGuard::save(const std::filesystem::path& destination,
                                                    const kestLibrary::TextPieces& pieces) const {
    if (protects(destination)) {
        return kestLibrary::IoError{destination.string(), std::string(kProtectedDocumentReason)};
    }
    return kestLibrary::writeText(destination, pieces);
}

}  // namespace session
