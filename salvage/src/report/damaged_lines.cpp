#include "salvage/damaged_lines.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include "io/file_descriptor.h"
#include "salvage/posix_calls.h"
#include "simd/utf8.h"

namespace salvage {
namespace {

using DamagedLine = SalvageReport::DamagedLine;

std::string count(std::uint64_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + std::string(n == 1 ? one : many);
}

void add(std::string& out, std::string_view part) {
    if (!out.empty()) {
        out += "; ";
    }
    out += part;
}

// The length of the valid UTF-8 character at the start of `bytes`, or 0.
std::size_t characterLength(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = lead < 0xC2   ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || bytes.size() < length) {
        return 0;
    }
    return detail::isValidUtf8(bytes.substr(0, length)) ? length : 0;
}

}  // namespace

std::string describeDamage(const DamagedLine& line) {
    std::string out;
    if ((line.what & DamagedLine::Lookalike) != 0) {
        add(out, "skipped: looks like a section line but does not start one");
    }
    const bool name = (line.what & DamagedLine::NameDamaged) != 0;
    const bool text = (line.what & DamagedLine::TextDamaged) != 0;
    if (name || text) {
        std::string part = name && text ? "name and text damaged"
                           : name       ? "name damaged"
                                        : "text damaged";
        std::string counts;
        if (line.characters != 0) {
            counts =
                count(line.characters, " character outside Base64", " characters outside Base64");
        }
        if (line.groups != 0) {
            counts += (counts.empty() ? "" : ", ") +
                      count(line.groups, " group of Base64 lost", " groups of Base64 lost");
        }
        add(out, counts.empty() ? part : part + ": " + counts);
    }
    if ((line.what & DamagedLine::NotText) != 0) {
        add(out, "decoded bytes that are not UTF-8 text");
    }
    if ((line.what & DamagedLine::Realigned) != 0) {
        add(out, "Base64 realigned after characters were lost or added");
    }
    if ((line.what & DamagedLine::TextLost) != 0) {
        add(out, "a damaged stretch gave no text");
    }
    return out;
}

std::string escapeBytes(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const auto byte = static_cast<unsigned char>(bytes[0]);
        std::size_t length = 1;
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
        } else if (byte >= 0x80 && (length = characterLength(bytes)) != 0) {
            out.append(bytes.substr(0, length));
        } else {
            length = 1;
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
        bytes.remove_prefix(length);
    }
    return out;
}

std::string showLineBytes(const LineBytes& read) {
    if (read.status != LineBytes::Status::Read) {
        return read.message;
    }
    std::string shown = escapeBytes(read.bytes);
    if (read.bytesLeft != 0) {
        shown += " [" + count(read.bytesLeft, " more byte]", " more bytes]");
    }
    return shown;
}

std::optional<SalvageReport::FileStamp> fileStampOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    SalvageReport::FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                       static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return stamp;
}

LineBytes readLineBytes(const std::filesystem::path& file, const SalvageReport& report,
                        const DamagedLine& line, std::size_t maxBytes) {
    LineBytes result;
    if (!report.file) {
        result.message =
            "The document was not read from a file, so its lines cannot be read again.";
        return result;
    }
    if (!report.damagedLinesInFileBytes) {
        result.message =
            "The file's bytes were converted before they were read (from another text encoding, "
            "mail's encoding or escaped markup), so the line's own bytes cannot be shown.";
        return result;
    }
    const std::string name = file.string();
    detail::OpenedFile opened;
    if (auto error = detail::openRegularFile(file, opened)) {
        std::error_code ignored;
        const bool gone = std::filesystem::symlink_status(file, ignored).type() ==
                          std::filesystem::file_type::not_found;
        result.status = gone ? LineBytes::Status::Gone : LineBytes::Status::Unreadable;
        result.message = result.status == LineBytes::Status::Gone
                             ? "\"" + name + "\" is gone: " + *error + "."
                             : "\"" + name + "\" cannot be read: " + *error + ".";
        return result;
    }
    if (fileStampOf(opened.fd.get()) != report.file) {
        result.status = LineBytes::Status::Changed;
        result.message = "\"" + name +
                         "\" has changed since it was read: its bytes there are no longer those "
                         "of this line.";
        return result;
    }
    const std::uint64_t wanted = std::min<std::uint64_t>(line.length, maxBytes);
    result.bytes.resize(static_cast<std::size_t>(wanted));
    std::size_t got = 0;
    while (got < result.bytes.size()) {
        const ssize_t n = kestLibrary::posixCalls().pread(
            opened.fd.get(), result.bytes.data() + got, result.bytes.size() - got,
            static_cast<off_t>(line.offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            result.status = LineBytes::Status::Unreadable;
            result.message = "\"" + name + "\" cannot be read: " +
                             (n < 0 ? detail::describeError(errno) : std::string("it ends early")) +
                             ".";
            result.bytes.clear();
            return result;
        }
        got += static_cast<std::size_t>(n);
    }
    result.status = LineBytes::Status::Read;
    result.bytesLeft = line.length - wanted;
    return result;
}

}  // namespace salvage
