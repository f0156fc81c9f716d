#include "carve/document_start.h"

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

// Whether what stands before the line starting at `at` is a document's content, looking back
// over blank lines but never past the start of `bytes` (which starts on a cluster boundary).
bool continuesContent(std::string_view bytes, std::uint64_t base, std::size_t at) {
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
        const std::size_t lastBreak = bytes.substr(low, tailEnd - low).find_last_of("\r\n");
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
        return whole ? isDocumentLine(tail, base + lineBegin) : couldBeDocumentPiece(tail);
    }
}

}  // namespace

bool flowsFromPreviousCluster(SourceReader& reader, std::uint64_t cluster) {
    if (cluster < kClusterSize) {
        return false;
    }
    const std::string_view before =
        reader.at(cluster - kClusterSize, kClusterSize).substr(0, kClusterSize);
    const std::size_t lastBreak = before.find_last_of("\r\n");
    const std::string_view tail =
        lastBreak == std::string_view::npos ? before : before.substr(lastBreak + 1);
    return !tail.empty() && !isBlank(tail) && couldBeDocumentPiece(tail);
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
    return isSectionTagName(name) && !continuesContent(bytes, base, lineStart);
}

}  // namespace salvage::detail
