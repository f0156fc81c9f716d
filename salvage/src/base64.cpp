#include "salvage/base64.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace salvage {
namespace {

constexpr std::uint8_t kInvalid = 0x80;
constexpr std::uint8_t kPadding = 0x81;

constexpr std::array<std::uint8_t, 256> makeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = kInvalid;
    }
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    }
    table[static_cast<unsigned char>('=')] = kPadding;
    return table;
}

constexpr auto kTable = makeTable();

std::atomic<bool> fastPathEnabled{true};

// Decodes whole groups of four alphabet characters from `in` while they last. Returns how many
// input characters were consumed; `written` receives the bytes produced.
std::size_t decodeCleanGroups(const unsigned char* in, std::size_t size, char* out,
                              std::size_t& written) {
    std::size_t consumed = 0;
    char* const start = out;
    while (size - consumed >= 4) {
        const unsigned a = kTable[in[consumed]];
        const unsigned b = kTable[in[consumed + 1]];
        const unsigned c = kTable[in[consumed + 2]];
        const unsigned d = kTable[in[consumed + 3]];
        if (((a | b | c | d) & kInvalid) != 0) {
            break;
        }
        const unsigned bits = (a << 18) | (b << 12) | (c << 6) | d;
        out[0] = static_cast<char>(bits >> 16);
        out[1] = static_cast<char>((bits >> 8) & 0xFF);
        out[2] = static_cast<char>(bits & 0xFF);
        out += 3;
        consumed += 4;
    }
    written = static_cast<std::size_t>(out - start);
    return consumed;
}

}  // namespace

void Base64Decoder::flushGroup(std::string& out) {
    if (count_ == 2) {
        out.push_back(static_cast<char>((bits_ >> 4) & 0xFF));
    } else if (count_ == 3) {
        out.push_back(static_cast<char>((bits_ >> 10) & 0xFF));
        out.push_back(static_cast<char>((bits_ >> 2) & 0xFF));
    } else if (count_ == 1) {
        ++incompleteGroups_;
    }
    bits_ = 0;
    count_ = 0;
}

void Base64Decoder::feed(std::string_view in, std::string& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t size = in.size();
    const std::size_t start = out.size();
    // At most 3 bytes for every 4 characters, plus what the pending group can still give.
    out.resize(start + (size + count_) / 4 * 3 + 3);
    char* const base = out.data();
    std::size_t length = start;
    std::size_t i = 0;
    const bool fast = fastPathEnabled.load(std::memory_order_relaxed);

    while (i < size) {
        if (fast && count_ == 0) {
            std::size_t written = 0;
            i += decodeCleanGroups(data + i, size - i, base + length, written);
            length += written;
            if (i >= size) {
                break;
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
            if (count_ == 2) {
                base[length++] = static_cast<char>((bits_ >> 4) & 0xFF);
            } else if (count_ == 3) {
                base[length++] = static_cast<char>((bits_ >> 10) & 0xFF);
                base[length++] = static_cast<char>((bits_ >> 2) & 0xFF);
            } else if (count_ == 1) {
                ++incompleteGroups_;
            }
            bits_ = 0;
            count_ = 0;
        } else {
            ++skipped_;
        }
    }
    out.resize(length);
}

void Base64Decoder::finish(std::string& out) {
    flushGroup(out);
}

Base64Decoder::Checkpoint Base64Decoder::checkpoint(const std::string& out) const {
    return Checkpoint{out.size(), bits_, count_, skipped_, incompleteGroups_};
}

void Base64Decoder::rollback(const Checkpoint& mark, std::string& out) {
    out.resize(mark.outputSize);
    bits_ = mark.bits;
    count_ = mark.count;
    skipped_ = mark.skipped;
    incompleteGroups_ = mark.incompleteGroups;
}

std::string decodeBase64(std::string_view in) {
    std::string out;
    Base64Decoder decoder;
    decoder.feed(in, out);
    decoder.finish(out);
    return out;
}

std::string decodeBase64Scalar(std::string_view in) {
    const bool previous = base64FastPathEnabled();
    setBase64FastPathEnabled(false);
    std::string out = decodeBase64(in);
    setBase64FastPathEnabled(previous);
    return out;
}

void setBase64FastPathEnabled(bool enabled) {
    fastPathEnabled.store(enabled, std::memory_order_relaxed);
}

bool base64FastPathEnabled() {
    return fastPathEnabled.load(std::memory_order_relaxed);
}

}  // namespace salvage
