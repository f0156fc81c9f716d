#include "carve/share_scan.h"

#include <algorithm>
#include <cstring>

#include "carve/document_follower.h"
#include "carve/document_start.h"
#include "carve/source_reader.h"

namespace salvage::detail {
namespace {

// The start test looks a cluster back and a little ahead of a window's own bytes.
constexpr std::uint64_t kReach = 2 * kClusterSize;
constexpr std::size_t kFollowWindow = std::size_t{1} << 20;

// A cheap first look: "<?" anywhere, or "<" and a letter at a line's or a cluster's start or
// after indentation. startsDocument() decides.
bool mayStart(std::string_view bytes, std::size_t at, std::uint64_t offset) {
    if (at + 1 >= bytes.size()) {
        return false;
    }
    const char next = bytes[at + 1];
    if (next != '?' && !((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z'))) {
        return false;
    }
    if (offset % kClusterSize == 0 || at == 0 || next == '?') {
        return true;  // a header may start a document anywhere
    }
    const char before = bytes[at - 1];
    return before == '\n' || before == '\r' || before == ' ' || before == '\t';
}

}  // namespace

ShareScanner::ShareScanner(const ScanContext& context)
    : context_(context),
      scan_(context.fd, context.size, context.window + static_cast<std::size_t>(2 * kReach)),
      follow_(scan_, kFollowWindow) {}

bool ShareScanner::stopped() const {
    const auto set = [](const std::atomic<bool>* flag) {
        return flag != nullptr && flag->load(std::memory_order_relaxed);
    };
    return set(context_.stop) || set(context_.abandon);
}

std::uint64_t ShareScanner::scan(std::uint64_t shareFrom, std::uint64_t shareTo,
                                 const ShareFindings& findings) {
    scan_.reportUnreadable(shareFrom, shareTo, findings.unreadable);
    for (std::uint64_t from = shareFrom; from < shareTo && from < scan_.size();
         from += context_.window) {
        if (stopped()) {
            break;
        }
        const std::uint64_t to = std::min<std::uint64_t>(from + context_.window, shareTo);
        const std::uint64_t base = from >= kReach ? from - kReach : 0;
        const std::string_view bytes = scan_.at(base, static_cast<std::size_t>(to - base + kReach));
        const auto first = static_cast<std::size_t>(from - base);
        const std::size_t last = std::min(bytes.size(), static_cast<std::size_t>(to - base));
        for (std::size_t at = first; at < last; ++at) {
            const void* found = std::memchr(bytes.data() + at, '<', last - at);
            if (found == nullptr) {
                break;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
            const std::uint64_t offset = base + at;
            if (!mayStart(bytes, at, offset) || !startsDocument(scan_, offset)) {
                continue;
            }
            if (auto place = followDocument(follow_, offset, context_.lookAhead)) {
                context_.found->fetch_add(1, std::memory_order_relaxed);
                findings.place(std::move(*place));
            }
        }
        context_.done->fetch_add(to - from, std::memory_order_relaxed);
        if (findings.afterWindow) {
            findings.afterWindow();
        }
    }
    return scan_.bytesRead();
}

}  // namespace salvage::detail
