#include "carve/document_start.h"

#include <string.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "carve/document_grammar.h"
#include "read/tag_names.h"

namespace salvage::detail {
namespace {

// How far past "<?xml " the root's tag is looked for.
constexpr std::size_t kHeaderReach = 1024;

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

// Where the last line break in `text` stands (npos: none). find_last_of would look each byte
// up in the set of two: this runs over clusters.
std::size_t lastLineBreak(std::string_view text) {
    const auto* data = static_cast<const char*>(text.data());
    const void* lf = ::memrchr(data, '\n', text.size());
    const void* cr = ::memrchr(data, '\r', text.size());
    const void* last = lf == nullptr ? cr : cr == nullptr ? lf : std::max(lf, cr);
    return last == nullptr ? std::string_view::npos
                           : static_cast<std::size_t>(static_cast<const char*>(last) - data);
}

bool hasLineBreak(std::string_view text) {
    return std::memchr(text.data(), '\n', text.size()) != nullptr ||
           std::memchr(text.data(), '\r', text.size()) != nullptr;
}

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// The name of the tag whose "<" is at `at`.
std::string_view tagName(std::string_view bytes, std::size_t at) {
    std::size_t end = at + 1;
    if (end < bytes.size() && (bytes[end] == '?' || bytes[end] == '/' || bytes[end] == '!')) {
        ++end;
    }
    while (end < bytes.size() && isNameCharacter(bytes[end])) {
        ++end;
    }
    return bytes.substr(at + 1, end - at - 1);
}

bool endsTagName(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/';
}

// A header counts when the document's root or a section tag comes next: other XML has headers
// too.
bool headerOfDocument(std::string_view bytes, std::size_t at) {
    const std::size_t close = bytes.find("?>", at);
    if (close == std::string_view::npos) {
        return false;
    }
    const std::size_t next = bytes.find_first_not_of(" \t\r\n", close + 2);
    if (next == std::string_view::npos || bytes[next] != '<') {
        return false;
    }
    const std::string_view name = tagName(bytes, next);
    return isRootTagName(name) || isSectionTagName(name);
}

// Whether the piece of a line that a cluster's start cut could belong to a document: outside
// tags nothing but Base64, and no control character anywhere.
bool couldBeDocumentPiece(std::string_view piece) {
    // Up to the first ">" before any "<", the piece may be the end of a tag.
    const std::size_t firstClose = piece.find('>');
    bool inTag = firstClose != std::string_view::npos && firstClose < piece.find('<');
    for (const char c : piece) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7f) {
            return false;
        }
        if (c == '<' || c == '>') {
            inTag = c == '<';
        } else if (!inTag && !isBase64Character(byte)) {
            return false;
        }
    }
    return true;
}

// Whether `cluster` opens with a piece of a document's line: a stretch of Base64 that runs on
// to a line break, a tag or far enough.
bool opensWithLinePiece(std::string_view cluster) {
    constexpr std::size_t kLeast = 16;
    constexpr std::size_t kEnough = 64;
    std::size_t run = 0;
    while (run < std::min(kEnough, cluster.size()) &&
           isBase64Character(static_cast<unsigned char>(cluster[run]))) {
        ++run;
    }
    if (run == std::min(kEnough, cluster.size())) {
        return run >= kLeast;
    }
    return run >= kLeast && (isLineBreak(cluster[run]) || cluster[run] == '<');
}

// Whether a whole line is a document's (without its line break).
bool isDocumentLine(std::string_view line, std::uint64_t offset) {
    DocumentGrammar grammar;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto event = grammar.step(static_cast<unsigned char>(line[i]), offset + i);
        if (event == DocumentGrammar::Event::Bad || event == DocumentGrammar::Event::Ended) {
            return false;
        }
    }
    return true;
}

// Whether `cluster` (the bytes of the cluster before a boundary, from `offset`) ends inside a
// line that could be a document's: a line that began in it and reads as a document's so far,
// or, without a line break, a piece of one.
bool endsInsideDocumentLine(std::string_view cluster, std::uint64_t offset) {
    const std::size_t lastBreak = lastLineBreak(cluster);
    if (lastBreak == std::string_view::npos) {
        return !isBlank(cluster) && couldBeDocumentPiece(cluster);
    }
    const std::string_view tail = cluster.substr(lastBreak + 1);
    return !tail.empty() && !isBlank(tail) && isDocumentLine(tail, offset + lastBreak + 1);
}

// How far back a document cut off may stand and still claim a piece that begins inside a line,
// and how far back a line that runs through whole clusters is followed.
constexpr std::uint64_t kClaimReach = 64 * kClusterSize;

// Whether `next`, the bytes after a cluster boundary inside a document's line, are other data.
// Cut inside a body, a line goes on in Base64: what opens the next cluster otherwise, even a
// tag (most often another document's start), is other data. Other data may also begin with a
// few bytes that look like Base64 (a word of text) before a byte no line of a document holds,
// as the follower allows too; a tag or a line break after them may be the line's own end.
bool breaksOffLine(std::string_view next) {
    constexpr std::size_t kSlack = 8;
    if (next.empty() || !isBase64Character(static_cast<unsigned char>(next.front()))) {
        return !next.empty();
    }
    for (const char c : next.substr(0, kSlack)) {
        if (isLineBreak(c) || c == '<') {
            return false;
        }
        if (!isBase64Character(static_cast<unsigned char>(c))) {
            return true;
        }
    }
    return false;
}

bool cutOffAt(std::string_view bytes, std::uint64_t offset, std::size_t boundary) {
    return endsInsideDocumentLine(bytes.substr(boundary - kClusterSize, kClusterSize),
                                  offset + boundary - kClusterSize) &&
           breaksOffLine(bytes.substr(boundary));
}

// Whether a line of a document breaks off into other data at a cluster boundary of `bytes`
// (which start on one, at `offset`), from the second boundary on.
bool holdsCutOffLine(std::string_view bytes, std::uint64_t offset) {
    for (std::size_t boundary = 2 * kClusterSize; boundary < bytes.size();
         boundary += kClusterSize) {
        if (cutOffAt(bytes, offset, boundary)) {
            return true;
        }
    }
    return false;
}

// Whether a document is cut off at a cluster boundary within reach after `cluster`: the piece
// at `cluster` may carry it on, as the pieces of a fragmented file need not lie in order.
bool documentCutAfter(const SourceReader& source, std::uint64_t cluster) {
    const std::uint64_t to = std::min(cluster + kClaimReach + kClusterSize, source.size());
    if (to < cluster + 2 * kClusterSize) {
        return false;
    }
    SourceReader reader(source, static_cast<std::size_t>(to - cluster));
    const std::string_view bytes = reader.at(cluster, static_cast<std::size_t>(to - cluster))
                                       .substr(0, static_cast<std::size_t>(to - cluster));
    return holdsCutOffLine(bytes, cluster);
}

// Whether the piece of a line that opens `cluster` may belong to a document near it: the
// line runs into it from a document's line (through clusters without a line break, as far as
// the reach goes), or a document is cut off at a cluster boundary within reach, where one of
// its lines breaks off into other data, and may go on in this piece.
bool mayBeClaimed(const SourceReader& source, std::uint64_t cluster) {
    const std::uint64_t from = cluster > kClaimReach ? cluster - kClaimReach : 0;
    if (cluster == from) {
        return false;
    }
    SourceReader reader(source, static_cast<std::size_t>(cluster - from));
    const std::string_view bytes = reader.at(from, static_cast<std::size_t>(cluster - from))
                                       .substr(0, static_cast<std::size_t>(cluster - from));
    const auto clusterAt = [&](std::size_t end) {
        return bytes.substr(end - kClusterSize, kClusterSize);
    };
    // The line that runs into the piece, back to where it began.
    std::size_t end = bytes.size();
    for (; end >= kClusterSize; end -= kClusterSize) {
        const std::string_view before = clusterAt(end);
        if (before.size() < kClusterSize) {
            return false;
        }
        if (hasLineBreak(before)) {
            if (endsInsideDocumentLine(before, from + end - kClusterSize)) {
                return true;
            }
            break;
        }
        if (isBlank(before) || !couldBeDocumentPiece(before)) {
            break;
        }
    }
    if (end < kClusterSize) {
        return true;  // a line longer than the reach: taken to run on from a document
    }
    return holdsCutOffLine(bytes, from) || documentCutAfter(source, cluster);
}

// Whether what stands before the line starting at `at` is a document's content, looking back
// over blank lines but never past the start of `bytes` (which starts on a cluster boundary).
// A piece of a line that opens a cluster is a document's content unless it is an orphan: the
// cluster before it does not lead into it, and no document cut off within reach may claim it
// (a document whose first cluster was lost begins with such a piece).
bool continuesContent(const SourceReader& source, std::string_view bytes, std::uint64_t base,
                      std::size_t at) {
    for (;;) {
        if (at == 0) {
            return false;
        }
        std::size_t tailEnd = at;
        if (isLineBreak(bytes[at - 1])) {
            tailEnd = at - 1;
            if (bytes[at - 1] == '\n' && tailEnd > 0 && bytes[tailEnd - 1] == '\r') {
                --tailEnd;
            }
        }
        if (tailEnd == 0) {
            return false;
        }
        const std::size_t low =
            static_cast<std::size_t>((base + tailEnd - 1) / kClusterSize * kClusterSize - base);
        const std::size_t lastBreak = lastLineBreak(bytes.substr(low, tailEnd - low));
        const std::size_t lineBegin =
            lastBreak == std::string_view::npos ? low : low + lastBreak + 1;
        const bool whole =
            lineBegin > low || (low > 0 && isLineBreak(bytes[low - 1])) || base + low == 0;
        const std::string_view tail = bytes.substr(lineBegin, tailEnd - lineBegin);
        if (isBlank(tail)) {
            if (!whole && lineBegin == low) {
                return false;
            }
            at = lineBegin;
            continue;
        }
        if (whole) {
            return isDocumentLine(tail, base + lineBegin);
        }
        if (!couldBeDocumentPiece(tail)) {
            return false;
        }
        // A line that opens a cluster with a tag may be whole: it starts what follows, or not.
        const bool opensCluster = lineBegin == low && low >= kClusterSize && tail.front() != '<';
        if (!opensCluster) {
            return true;
        }
        // Most often the line began in the cluster before, as a document's: decided here,
        // without reading further back.
        const std::string_view before = bytes.substr(low - kClusterSize, kClusterSize);
        const bool lineBeganBefore = hasLineBreak(before);
        if (lineBeganBefore && endsInsideDocumentLine(before, base + low - kClusterSize)) {
            return true;
        }
        return mayBeClaimed(source, base + low);
    }
}

}  // namespace

bool flowsFromPreviousCluster(SourceReader& reader, std::uint64_t cluster) {
    if (cluster < kClusterSize) {
        return false;
    }
    return endsInsideDocumentLine(
        reader.at(cluster - kClusterSize, kClusterSize).substr(0, kClusterSize),
        cluster - kClusterSize);
}

bool documentCutOffBetween(SourceReader& reader, std::uint64_t after, std::uint64_t before) {
    after = std::max({after, before > kClaimReach ? before - kClaimReach : 0, kClusterSize});
    if (before < after + 2 * kClusterSize) {
        return false;
    }
    // From the cluster that ends at the first boundary looked at.
    const std::uint64_t from = after - kClusterSize;
    const auto length = static_cast<std::size_t>(before - from);
    // The last such boundary, from the second of the bytes on.
    std::uint64_t cut = 0;
    {
        const std::string_view bytes = reader.at(from, length).substr(0, length);
        for (std::size_t boundary = (bytes.size() - 1) / kClusterSize * kClusterSize;
             boundary >= 2 * kClusterSize && cut == 0; boundary -= kClusterSize) {
            if (cutOffAt(bytes, from, boundary)) {
                cut = from + boundary;
            }
        }
    }
    if (cut == 0) {
        return false;
    }
    // A piece nearer after that cut carries it on more likely than the one at `before`.
    for (std::uint64_t cluster = cut + kClusterSize; cluster < before; cluster += kClusterSize) {
        if (opensWithLinePiece(reader.at(cluster, kClusterSize).substr(0, kClusterSize)) &&
            !flowsFromPreviousCluster(reader, cluster)) {
            return false;
        }
    }
    // The start test reads windows of its own: the bytes are copied first.
    const auto span = static_cast<std::size_t>(cut - after);
    const std::string bytes(reader.at(after, span).substr(0, span));
    for (std::size_t at = bytes.find('<'); at != std::string::npos; at = bytes.find('<', at + 1)) {
        if (startsDocument(reader, after + at)) {
            return true;
        }
    }
    return false;
}

bool startsDocument(SourceReader& reader, std::uint64_t offset) {
    const std::uint64_t cluster = offset / kClusterSize * kClusterSize;
    const std::uint64_t base = cluster >= kClusterSize ? cluster - kClusterSize : 0;
    std::string_view bytes =
        reader.at(base, static_cast<std::size_t>(offset - base) + kHeaderReach);
    bytes = bytes.substr(0, static_cast<std::size_t>(offset - base) + kHeaderReach);
    const auto at = static_cast<std::size_t>(offset - base);
    if (at >= bytes.size() || bytes[at] != '<') {
        return false;
    }
    const std::string_view name = tagName(bytes, at);
    const std::size_t after = at + 1 + name.size();
    if (after >= bytes.size() || !endsTagName(bytes[after])) {
        return false;
    }
    // A header followed by a Quillora root is a start wherever it stands: a small document
    // written into a cluster's slack follows the end of another file's data on its line.
    if (name == "?xml") {
        return headerOfDocument(bytes, at);
    }
    std::size_t lineStart = at;
    while (lineStart > 0 && (base + lineStart) % kClusterSize != 0 &&
           (bytes[lineStart - 1] == ' ' || bytes[lineStart - 1] == '\t')) {
        --lineStart;
    }
    if ((base + lineStart) % kClusterSize != 0 && !isLineBreak(bytes[lineStart - 1])) {
        return false;
    }
    return isSectionTagName(name) && !continuesContent(reader, bytes, base, lineStart);
}

}  // namespace salvage::detail
