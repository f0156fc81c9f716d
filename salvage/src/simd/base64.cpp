#include "salvage/base64.h"

#include <cstdint>

#include "simd/base64_groups.h"
#include "simd/implementation.h"
#include "store/page_allocator.h"

namespace salvage {
namespace {

using detail::kBase64Slack;
constexpr std::uint8_t kPadding = detail::kBase64Padding;
constexpr const auto& kTable = detail::kBase64Table;

// Input decoded per step: the output it needs is made room for (and zero-filled by the string)
// one cache-sized step at a time, not for a whole huge piece at once.
constexpr std::size_t kStep = std::size_t{64} << 10;

}  // namespace

Base64Decoder::Base64Decoder() : Base64Decoder(detail::bestImplementation()) {}

Base64Decoder::Base64Decoder(const detail::Implementation& routines)
    : decodeCleanGroups_(routines.decodeCleanGroups) {}

std::size_t Base64Decoder::endGroup(char* out) {
    std::size_t written = 0;
    if (count_ == 2) {
        out[written++] = static_cast<char>((bits_ >> 4) & 0xFF);
    } else if (count_ == 3) {
        out[written++] = static_cast<char>((bits_ >> 10) & 0xFF);
        out[written++] = static_cast<char>((bits_ >> 2) & 0xFF);
    } else if (count_ == 1) {
        ++incompleteGroups_;
    }
    bits_ = 0;
    count_ = 0;
    return written;
}

void Base64Decoder::feed(std::string_view in, std::string& out) {
    feedAll(in, out);
}

void Base64Decoder::feed(std::string_view in, detail::PagedString& out) {
    feedAll(in, out);
}

void Base64Decoder::finish(std::string& out) {
    finishInto(out);
}

void Base64Decoder::finish(detail::PagedString& out) {
    finishInto(out);
}

template <class Out>
void Base64Decoder::feedAll(std::string_view in, Out& out) {
    while (in.size() > kStep) {
        feedStep(in.substr(0, kStep), out);
        in.remove_prefix(kStep);
    }
    feedStep(in, out);
}

template <class Out>
void Base64Decoder::feedStep(std::string_view in, Out& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t size = in.size();
    const std::size_t start = out.size();
    // At most 3 bytes for every 4 characters, plus what the pending group can still give, plus
    // room for the vector path's wide stores.
    out.resize(start + (size + count_) / 4 * 3 + 3 + kBase64Slack);
    char* const base = out.data();
    std::size_t length = start;
    std::size_t i = 0;
    const bool fast = decodeCleanGroups_ != nullptr;
    // After a short clean run, input full of junk is decoded a character at a time for a while
    // rather than tried again at every group boundary.
    std::size_t nextFastTry = 0;

    while (i < size) {
        if (fast && count_ == 0 && i >= nextFastTry) {
            std::size_t written = 0;
            const std::size_t consumed =
                decodeCleanGroups_(data + i, size - i, base + length, written);
            i += consumed;
            length += written;
            if (i >= size) {
                break;
            }
            if (consumed < 32) {
                nextFastTry = i + 32;
            }
        }
        const unsigned char c = data[i++];
        const unsigned value = kTable[c];
        if (value < 64) {
            bits_ = (bits_ << 6) | value;
            if (++count_ == 4) {
                base[length++] = static_cast<char>((bits_ >> 16) & 0xFF);
                base[length++] = static_cast<char>((bits_ >> 8) & 0xFF);
                base[length++] = static_cast<char>(bits_ & 0xFF);
                bits_ = 0;
                count_ = 0;
            }
        } else if (value == kPadding) {
            length += endGroup(base + length);
        } else {
            ++skipped_;
        }
    }
    out.resize(length);
}

template <class Out>
void Base64Decoder::finishInto(Out& out) {
    char bytes[2];
    const std::size_t written = endGroup(bytes);
    out.append(bytes, written);
}

std::string decodeBase64(std::string_view in, const detail::Implementation& routines) {
    std::string out;
    out.reserve(in.size() / 4 * 3 + 3 + kBase64Slack);
    Base64Decoder decoder(routines);
    decoder.feed(in, out);
    decoder.finish(out);
    return out;
}

std::string decodeBase64(std::string_view in) {
    return decodeBase64(in, detail::bestImplementation());
}

std::string decodeBase64Scalar(std::string_view in) {
    return decodeBase64(in, detail::characterAtATime());
}

}  // namespace salvage
