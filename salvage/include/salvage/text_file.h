#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The program's only file input and output.
namespace kestLibrary {

// A failed read or write: which file, and why, in words a user can act on.
struct IoError {
    std::string path;
    std::string reason;

    // "PATH: REASON"
    std::string message() const { return path + ": " + reason; }
};

struct ReadResult {
    std::string text;              // the whole content, line breaks unified to LF
    std::optional<IoError> error;  // set when the file could not be read; text is then empty

    bool ok() const { return !error.has_value(); }
};

// Reads a whole file with its line breaks (CR, LF, CR LF) unified to LF. Only regular files
// are read: a folder, FIFO, socket or device is refused without reading from it, so the
// call can never block.
ReadResult readText(const std::filesystem::path& file);

// Replaces the file's content with `text`, atomically: the bytes go to a temporary file in
// the same folder, which is flushed and then renamed over the destination. On failure the
// destination is untouched, no temporary file is left behind, and the error is returned.
std::optional<IoError> writeText(const std::filesystem::path& file, std::string_view text);

// Text given as consecutive pieces: the producer hands each piece in turn to the writer it is
// given, so that a large text is written without ever being joined in memory.
using PieceWriter = std::function<void(std::string_view)>;
using TextPieces = std::function<void(const PieceWriter&)>;

// `text` as a single piece; the pieces refer to it.
TextPieces wholeText(std::string_view text);

// The same, with the content given as pieces.
std::optional<IoError> writeText(const std::filesystem::path& file, const TextPieces& pieces);

// When a new text reaches the disk: before it is renamed into place (Now, as above), or with
// the others written the same way when flushFileSystem() is called (Later). A thousand files
// written at once, as carving does, then cost one flush of the disk instead of a thousand.
enum class Flush { Now, Later };
std::optional<IoError> writeText(const std::filesystem::path& file, std::string_view text,
                                 Flush flush);
std::optional<IoError> writeText(const std::filesystem::path& file, const TextPieces& pieces,
                                 Flush flush);

// Flushes to the disk everything written to the file system that holds `folder`; an error
// says that some of it may not have reached the disk.
std::optional<IoError> flushFileSystem(const std::filesystem::path& folder);

}  // namespace kestLibrary
