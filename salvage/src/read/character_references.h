#pragma once

// Character and entity references, as XML writers put them in attribute values: "&#61;",
// "&#x3D;", "&quot;", "&amp;", "&apos;", "&lt;", "&gt;". Decoded as text arrives in pieces;
// anything that is not a whole reference passes unchanged.

#include <cstddef>
#include <string>
#include <string_view>

namespace salvage::detail {

// The UTF-8 bytes a reference stands for (`body` is what stands between "&" and ";"), or the
// empty string when it is none this reader knows.
std::string resolveReference(std::string_view body);

class ReferenceDecoder {
  public:
    // Hands the decoded form of [begin, end) to `out(const char* begin, const char* end)`.
    template <class Out>
    void feed(const char* begin, const char* end, Out&& out) {
        while (begin != end) {
            if (pending_.empty()) {
                const char* amp = begin;
                while (amp != end && *amp != '&') {
                    ++amp;
                }
                out(begin, amp);
                if (amp == end) {
                    return;
                }
                pending_.push_back('&');
                begin = amp + 1;
                continue;
            }
            const char c = *begin++;
            if (c == ';') {
                const std::string resolved = resolveReference(std::string_view(pending_).substr(1));
                if (resolved.empty()) {
                    pending_.push_back(c);
                    flush(out);
                } else {
                    ++decoded_;
                    pending_.clear();
                    out(resolved.data(), resolved.data() + resolved.size());
                }
            } else if (c == '&' || pending_.size() == kLongestReference) {
                flush(out);
                --begin;  // it may begin a reference of its own
            } else {
                pending_.push_back(c);
            }
        }
    }

    // Ends the text: a reference begun but not ended passes unchanged.
    template <class Out>
    void finish(Out&& out) {
        flush(out);
    }

    // References decoded so far.
    std::size_t decoded() const { return decoded_; }

  private:
    // "&#x10FFFF;" and the longest entity name fit.
    static constexpr std::size_t kLongestReference = 10;

    template <class Out>
    void flush(Out& out) {
        out(pending_.data(), pending_.data() + pending_.size());
        pending_.clear();
    }

    std::string pending_;
    std::size_t decoded_ = 0;
};

}  // namespace salvage::detail
