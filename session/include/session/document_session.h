#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "salvage/reader.h"
#include "salvage/text_file.h"
#include "session/save_guard.h"

namespace session {

// The processor's cores, at least 1: how many threads the programs let a document be read by.
unsigned availableCores();

// What reading a file came to.
struct OpenOutcome {
    salvage::ReadStatus status = salvage::ReadStatus::Refused;
    std::string reason;  // why the file was refused or could not be read, where that is known

    bool accepted() const { return status == salvage::ReadStatus::Accepted; }
};

// A document read apart from any session, on any thread, for a session to adopt.
struct ReadDocument {
    std::filesystem::path file;
    // Taken before reading: it is this file, as it was read, that no save may replace.
    std::optional<kestLibrary::FileIdentity> identity;
    salvage::ParseResult result;
    // For a file the plain reading refused, whether it holds a section tag, when the reading
    // looked (thoroughReadingAccepts): off the window's thread, that scan of a large file
    // costs the window nothing.
    std::optional<bool> holdsSectionTags;
};

// Which saves the document shown allows.
struct SaveAvailability {
    bool all = false;  // every section: there is at least one
    bool one = false;  // the text shown: it is not empty

    bool operator==(const SaveAvailability&) const = default;
};

// One document being salvaged, apart from any window: the document last accepted, the section
// whose text is shown, whether that text was changed, which saves are allowed, what they write
// and where they may write it.
class DocumentSession {
  public:
    // How documents are read from the next one on: the plain reading unless told otherwise.
    void setReading(salvage::Reading reading) { reading_ = reading; }
    salvage::Reading reading() const { return reading_; }
    // How many threads may read a document (at least 1): on one thread unless told otherwise.
    void setThreads(unsigned threads) { threads_ = threads == 0 ? 1 : threads; }
    unsigned threads() const { return threads_; }

    // How this session reads documents now, for read().
    salvage::ReadOptions readOptions() const { return {reading_, threads_}; }

    // Reads `file`. An accepted document replaces the one held: nothing of it is shown yet, and
    // it becomes the file no save may replace. Anything else changes nothing.
    OpenOutcome open(const std::filesystem::path& file);
    // open() in two steps, so that the reading may run on another thread: read() touches no
    // session, adopt() takes its result as open() would (a stopped reading changes nothing).
    static ReadDocument read(const std::filesystem::path& file,
                             const salvage::ReadOptions& options);
    OpenOutcome adopt(ReadDocument read);
    // A document found in `source` (a disk image or device) and read from there: like a
    // document read from a descriptor, it cannot be read again, and no save may replace its
    // source.
    OpenOutcome adoptFound(salvage::ParseResult result, const std::filesystem::path& source);
    // The same for a document read from an open descriptor (the command line's standard input).
    OpenOutcome openDescriptor(int fd, std::string_view fileName);

    // Reads the document held again, from its file, as documents are now read. Nothing is
    // shown of it afterwards; a document read from a descriptor cannot be read again.
    OpenOutcome reread();

    // Lets go of the document, as if none had been read yet (the command line, between files).
    void close();

    // Absent until the first document is accepted.
    const std::optional<salvage::Document>& document() const { return document_; }
    // The file the document was read from (empty for a descriptor).
    const std::filesystem::path& documentPath() const { return documentPath_; }

    // The text area now shows section `index` of the document as read, or nothing.
    void show(std::optional<std::size_t> index);
    // The text shown changed: `empty` says whether it now holds nothing, `edited` whether the
    // user has changed it from the section as read (an undo can take it back there).
    void textChanged(bool empty, bool edited);
    std::optional<std::size_t> shownSection() const { return shown_; }
    // The shown section's own bytes, while the user has not changed them.
    std::optional<std::string_view> unchangedText() const;

    // Whether the thorough reading may get back more than the plain one did: the document was
    // read plainly and its report tells of lines skipped, damage, text that is not UTF-8 or
    // texts replaced by later ones.
    bool thoroughReadingMayFindMore() const;
    // Whether the thorough reading would accept `file`, which the plain reading refused: whether
    // it holds a section tag anywhere. Reads the file only up to the first tag, so that a large
    // file that is no document costs one read, not a whole thorough reading.
    static bool thoroughReadingAccepts(const std::filesystem::path& file);

    // Nothing before the first document: the save commands then keep their states.
    std::optional<SaveAvailability> saveAvailability() const;

    // The names the save dialogs offer.
    std::string saveAllName() const;
    std::string saveOneName() const;
    // Every section, as "Save All Sections..." writes it; the pieces point into the document.
    kestLibrary::TextPieces allSections() const;

    // Writes `pieces` to `destination`, which must not be a document being salvaged.
    std::optional<kestLibrary::IoError> save(const std::filesystem::path& destination,
                                             const kestLibrary::TextPieces& pieces) const;
    SaveGuard& guard() { return guard_; }

  private:
    OpenOutcome accept(salvage::ParseResult result, const std::filesystem::path& path,
                       std::optional<kestLibrary::FileIdentity> identity);

    salvage::Reading reading_ = salvage::Reading::Plain;
    unsigned threads_ = 1;
    std::optional<salvage::Document> document_;
    std::filesystem::path documentPath_;
    std::optional<std::size_t> shown_;
    bool edited_ = false;
    bool shownEmpty_ = true;
    SaveGuard guard_;
};

}  // namespace session
