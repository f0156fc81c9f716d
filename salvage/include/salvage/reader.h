#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "salvage/report.h"
#include "salvage/section_map.h"

namespace salvage {

namespace detail {
struct Implementation;
struct ChunkTuning;
}  // namespace detail

// The one message a user sees when a document cannot be shown.
inline constexpr std::string_view kRefusedMessage =
    "Unable to view this file. Either it's not a Quillora document or it's too corrupt to view.";

// How a document is read. Plain: line by line, as described above. Thorough: also gets back
// what line-by-line reading loses (texts wrapped over several lines, tags that do not start a
// line, a damaged first line, Base64 out of step after lost or inserted characters, repeated
// names), keeping only what decodes to text; see the README.
enum class Reading { Plain, Thorough };

// How a document is read, and by how many threads: a large document is read in chunks side by
// side (so far the plain reading only), with the same result as on one thread. The threads
// live only while the document is read.
struct ReadOptions {
    // Not explicit: a Reading, or {reading, threads}, still makes the options.
    ReadOptions(Reading how = Reading::Plain, unsigned threadCount = 1)
        : reading(how), threads(threadCount) {}

    Reading reading = Reading::Plain;
    unsigned threads = 1;  // 1 (or 0): on the caller's thread alone
    // Reading a file or descriptor only: after each block read, the bytes read so far and the
    // file's size (0 when unknown). Called on the reading's own thread.
    std::function<void(std::uint64_t read, std::uint64_t total)> progress;
    // Reading a file or descriptor only: once set (from any thread), the reading ends at the
    // next block, Stopped.
    const std::atomic<bool>* stop = nullptr;
};

// What a read document yields.
struct Document {
    SectionMap contents;
    std::string filename;  // see baseName()
    SalvageReport report;
};

enum class ReadStatus {
    Accepted,    // the first line begins with "<?xml " (thoroughly read: or a section tag
                 // stands anywhere); `document` holds what was found
    Refused,     // anything else: not a document, empty, or too damaged to tell
    Unreadable,  // the file could not be read at all; `reason` says why
    Stopped,     // the caller stopped the reading before its end; nothing of it is kept
};

struct ParseResult {
    ReadStatus status = ReadStatus::Refused;
    Document document;   // meaningful when Accepted
    std::string reason;  // why it was refused or unreadable; empty when Accepted

    bool accepted() const { return status == ReadStatus::Accepted; }
};

// Reads a document that arrives in pieces, without holding more of it than one pending tag.
// Line breaks may be CR, LF or CR LF, and may be split across pieces.
class DocumentReader {
  public:
    explicit DocumentReader(Reading reading = Reading::Plain);
    // With more than one thread, feed() starts them as needed; finish() and the destructor
    // join them.
    explicit DocumentReader(const ReadOptions& options);
    // With the given version of the routines that have one per instruction set (tests compare
    // them); the default is the fastest this processor runs.
    DocumentReader(Reading reading, const detail::Implementation& routines);
    // With the chunks cut as `tuning` says (tests cut them small).
    DocumentReader(const ReadOptions& options, const detail::Implementation& routines,
                   const detail::ChunkTuning& tuning);
    ~DocumentReader();
    DocumentReader(const DocumentReader&) = delete;
    DocumentReader& operator=(const DocumentReader&) = delete;

    // The document's total size, when known: lets the reader size each section's text once
    // instead of growing it, which keeps memory close to what is decoded.
    void expectSize(std::uint64_t totalBytes);

    void feed(std::string_view chunk);
    // Whether the input is refused already (its first line is not a header): the rest of it
    // can change nothing, and need not be read.
    bool refused() const;
    // Ends the input. `fileName` is the document's own name (its folder is dropped).
    ParseResult finish(std::string_view fileName);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Reads the document held in `text`.
ParseResult parseText(std::string_view text, std::string_view fileName,
                      Reading reading = Reading::Plain);
ParseResult parseText(std::string_view text, std::string_view fileName, const ReadOptions& options);

// Reads the document stored in `file`. Only a regular file is read; anything else (a folder,
// FIFO, socket or device) is Unreadable without any read from it.
ParseResult parseFile(const std::filesystem::path& file, Reading reading = Reading::Plain);
ParseResult parseFile(const std::filesystem::path& file, const ReadOptions& options);

// Reads a document from an open descriptor until its end (the command line's standard input).
ParseResult parseDescriptor(int fd, std::string_view fileName, Reading reading = Reading::Plain);
ParseResult parseDescriptor(int fd, std::string_view fileName, const ReadOptions& options);

}  // namespace salvage
