// The Base64 decoder on raw bytes: never more than 3/4 of its input out, the fast paths give
// what the plain decoder gives, input in pieces gives what it gives whole, a rollback forgets
// exactly what came after its checkpoint, and clean Base64 of any bytes decodes to them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "salvage/base64.h"

using qlv_fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);

    const std::string whole = salvage::decodeBase64(data);
    check(whole.size() * 4 <= data.size() * 3, "at most 3 bytes out for 4 in");
    check(whole == salvage::decodeBase64Scalar(data), "the fast path agrees with the plain one");

    salvage::Base64Decoder decoder;
    std::string streamed;
    qlv_fuzz::PieceSizes sizes(data);
    std::size_t at = 0;
    while (at < data.size()) {
        const std::size_t piece = sizes.next(at);
        decoder.feed(data.substr(at, piece), streamed);
        at += piece;
    }
    const std::size_t skipped = decoder.skippedBytes();
    decoder.finish(streamed);
    check(streamed == whole, "pieces decode as the whole does");
    check(skipped <= data.size(), "no more bytes skipped than were given");

    // Roll back the middle third and decode the rest: as if the middle had never been there.
    const std::size_t cut1 = data.size() / 3;
    const std::size_t cut2 = data.size() - data.size() / 3;
    salvage::Base64Decoder rolling;
    std::string out;
    rolling.feed(data.substr(0, cut1), out);
    const auto mark = rolling.checkpoint(out);
    rolling.feed(data.substr(cut1, cut2 - cut1), out);
    rolling.rollback(mark, out);
    rolling.feed(data.substr(cut2), out);
    rolling.finish(out);
    std::string without(data.substr(0, cut1));
    without.append(data.substr(cut2));
    check(out == salvage::decodeBase64Scalar(without), "a rollback forgets what followed it");

    check(salvage::decodeBase64(qlv_fuzz::encodeBase64(data)) == data,
          "clean Base64 decodes to the bytes it encodes");
    return 0;
}
