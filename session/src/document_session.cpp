#include "session/document_session.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "salvage/export.h"
#include "salvage/section_tag_scan.h"

namespace session {

unsigned availableCores() {
    return std::max(std::thread::hardware_concurrency(), 1U);
}

OpenOutcome DocumentSession::open(const std::filesystem::path& file) {
    return adopt(read(file, readOptions()));
}

ReadDocument DocumentSession::read(const std::filesystem::path& file,
                                   const salvage::ReadOptions& options) {
    ReadDocument read{file, kestLibrary::identityOfPath(file), {}, std::nullopt};
    read.result = salvage::parseFile(file, options);
    return read;
}

OpenOutcome DocumentSession::adopt(ReadDocument read) {
    return accept(std::move(read.result), read.file, read.identity);
}

OpenOutcome DocumentSession::adoptFound(salvage::ParseResult result,
                                        const std::filesystem::path& source) {
    return accept(std::move(result), {}, kestLibrary::identityOfPath(source));
}

OpenOutcome DocumentSession::openDescriptor(int fd, std::string_view fileName) {
    const auto identity = kestLibrary::identityOfRegularDescriptor(fd);
    return accept(salvage::parseDescriptor(fd, fileName, readOptions()), {}, identity);
}

OpenOutcome DocumentSession::reread() {
    if (!document_ || documentPath_.empty()) {
        return {salvage::ReadStatus::Refused, "there is no document file to read again"};
    }
    const std::filesystem::path path = documentPath_;
    return open(path);
}

OpenOutcome DocumentSession::accept(salvage::ParseResult result, const std::filesystem::path& path,
                                    std::optional<kestLibrary::FileIdentity> identity) {
    if (!result.accepted()) {
        return {result.status, std::move(result.reason)};
    }
    document_ = std::move(result.document);
    documentPath_ = path;
    guard_.protectDocument(identity);
    show(std::nullopt);
    return {salvage::ReadStatus::Accepted, {}};
}

void DocumentSession::close() {
    document_.reset();
    documentPath_.clear();
    guard_.protectDocument(std::nullopt);
    show(std::nullopt);
}

void DocumentSession::show(std::optional<std::size_t> index) {
    if (!document_ || (index && *index >= document_->contents.size())) {
        index.reset();
    }
    shown_ = index;
    edited_ = false;
    shownEmpty_ = !index || document_->contents[*index].text.empty();
}

void DocumentSession::textChanged(bool empty, bool edited) {
    edited_ = edited;
    shownEmpty_ = empty;
}

std::optional<std::string_view> DocumentSession::unchangedText() const {
    if (!shown_ || edited_) {
        return std::nullopt;
    }
    return document_->contents[*shown_].text;
}

bool DocumentSession::thoroughReadingMayFindMore() const {
    if (!document_ || document_->report.thorough) {
        return false;
    }
    const salvage::SalvageReport& report = document_->report;
    return report.skippedLookalikes != 0 || !report.damagedBase64.empty() ||
           !report.invalidUtf8Sections.empty() || !report.replacements.empty();
}

bool DocumentSession::thoroughReadingAccepts(const std::filesystem::path& file) {
    return salvage::holdsSectionTag(file);
}

std::optional<SaveAvailability> DocumentSession::saveAvailability() const {
    if (!document_) {
        return std::nullopt;
    }
    return SaveAvailability{!document_->contents.empty(), !shownEmpty_};
}

std::string DocumentSession::saveAllName() const {
    return salvage::defaultSaveAllName(document_ ? std::string_view(document_->filename) : "");
}

std::string DocumentSession::saveOneName() const {
    return salvage::defaultSaveOneName(shown_ ? std::string_view(document_->contents[*shown_].name)
                                              : "");
}

kestLibrary::TextPieces DocumentSession::allSections() const {
    return document_ ? salvage::exportPieces(document_->contents) : kestLibrary::wholeText({});
}

std::optional<kestLibrary::IoError> DocumentSession::save(
    const std::filesystem::path& destination, const kestLibrary::TextPieces& pieces) const {
    return guard_.save(destination, pieces);
}

}  // namespace session
