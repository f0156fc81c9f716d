#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string_view>

#include "salvage/file_identity.h"
#include "salvage/text_file.h"

namespace session {

// Keeps saves off the documents being salvaged: a damaged file may hold more than this program
// could recover from it, so it must never be replaced by what was recovered. A file is known by
// its identity, so a link or another path to it is refused as well.
class SaveGuard {
  public:
    // Protects the file `path` names now, for as long as the guard lives.
    void protectPath(const std::filesystem::path& path);
    // Protects the regular file open on `fd`; anything else (a pipe, a terminal) needs no guard.
    void protectDescriptor(int fd);
    // Protects the document being shown instead of the one shown before.
    void protectDocument(std::optional<kestLibrary::FileIdentity> identity);

    // Whether `destination` names a protected file.
    bool protects(const std::filesystem::path& destination) const;

    // Writes `pieces` to `destination` atomically, unless it is a protected file.
    std::optional<kestLibrary::IoError> save(const std::filesystem::path& destination,
                                             const kestLibrary::TextPieces& pieces) const;

  private:
    std::set<kestLibrary::FileIdentity> inputs_;
    std::optional<kestLibrary::FileIdentity> document_;
};

// The reason a save to a protected file is refused.
inline constexpr std::string_view kProtectedDocumentReason =
    "it is a document being salvaged, which is kept as it is";

}  // namespace session
