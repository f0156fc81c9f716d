#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "salvage/reader.h"

// Carving: finding documents inside a disk image, a block device or any large file in which no
// file system points at them any more, and reading each one found.
namespace salvage {

// File systems hand out space in clusters of this size: a document's pieces start on a
// cluster's first byte, and a gap between two pieces is a whole number of clusters.
inline constexpr std::uint64_t kClusterSize = 4096;

struct CarveOptions {
    // Documents that start in [start, end) are carved, and followed past `end` as far as they
    // go; `end` unset: to the end of the source.
    std::uint64_t start = 0;
    std::optional<std::uint64_t> end;
    // Threads that look for documents, each in its share of the range; 0 or 1: the caller's
    // thread alone; at most 64 are started. The result is the same with any number.
    unsigned threads = 1;
    // With more than one thread, the range is cut into shares of about this length, which the
    // threads take in turn while the caller's thread reads the documents of the first share
    // not yet read. The result is the same with any length.
    std::uint64_t shareLength = std::uint64_t{64} << 20;
    // How far past a place where a document is cut off its continuation is looked for. The
    // further, the more other documents' pieces fit a cut by chance (Base64 of ASCII text
    // carries any other on in step): a file system keeps a file's pieces near each other.
    std::uint64_t lookAhead = 64 * kClusterSize;
};

struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;

    bool operator==(const ByteRange&) const = default;
};

// Where a document goes on after a gap of other data.
struct Seam {
    std::uint64_t offset = 0;  // the first byte after the gap
    // Unset only when the cut fell inside a Base64 group or a character of a section's text and
    // the bytes after the gap made it whole as text: then the two pieces fit each other. Set
    // when only their structure speaks for the join (the nearest cluster that carries on is
    // taken).
    bool guessed = true;

    bool operator==(const Seam&) const = default;
};

// Where one document was found, before it is read.
struct DocumentPlace {
    std::vector<ByteRange> fragments;  // in the document's order; the first starts it
    std::vector<Seam> seams;           // one for each fragment after the first
    bool header = false;               // it begins with "<?xml " and its root

    std::uint64_t offset() const { return fragments.front().offset; }
    std::uint64_t length() const;  // all fragments' bytes

    bool operator==(const DocumentPlace&) const = default;
};

struct CarvedDocument {
    DocumentPlace place;
    ParseResult reading;  // the thorough reading of the fragments' bytes, joined
};

struct CarveSummary {
    std::uint64_t start = 0;
    std::uint64_t end = 0;  // the range's end, cut to the source's size
    std::uint64_t bytesRead = 0;
    std::uint64_t unreadableBytes = 0;
    std::size_t documents = 0;
    // Set when the source could not be opened or read at all; nothing was carved then.
    std::optional<std::string> error;
};

// What carve() reports while it runs. Every call comes on the caller's thread.
struct CarveCallbacks {
    // Each document, in the order of the offsets where they start.
    std::function<void(CarvedDocument&&)> document;
    // Each range of the source that could not be read (after one retry of each cluster), in
    // offset order; reading goes on after it.
    std::function<void(const ByteRange&)> unreadable;
    // Now and then: bytes of the range looked through so far, the range's size, and the
    // documents found so far.
    std::function<void(std::uint64_t done, std::uint64_t total, std::size_t found)> progress;
    // Once set (from any thread), carving ends soon after; what was found until then is
    // reported.
    const std::atomic<bool>* stop = nullptr;
};

// Carves `source`, which is opened read-only and never written to. Memory stays bounded
// whatever its size; threads live only during the call.
CarveSummary carve(const std::filesystem::path& source, const CarveOptions& options,
                   const CarveCallbacks& callbacks);

}  // namespace salvage

namespace salvage {

// Reads the document found at `place` in `source` again, as carve() read it: so that a list of
// what was found need not hold every document's text.
ParseResult readCarvedDocument(const std::filesystem::path& source, const DocumentPlace& place);

}  // namespace salvage
