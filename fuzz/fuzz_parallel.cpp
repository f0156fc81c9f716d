// The plain reading with threads, on raw bytes: the input cut into tiny chunks read by two or
// three threads, and fed in pieces whose sizes come from the input, must give exactly what one
// thread gives: the same status and reason, sections, report and export.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "read/parallel_lines.h"
#include "reading_seen.h"
#include "salvage/reader.h"
#include "simd/implementation.h"

namespace {

using salvage::testing::everythingSeen;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    const std::string expected = everythingSeen(salvage::parseText(data, "doc.qlx"));

    const unsigned char first = data.empty() ? 0 : static_cast<unsigned char>(data.front());
    const unsigned char last = data.empty() ? 0 : static_cast<unsigned char>(data.back());
    salvage::detail::ChunkTuning tuning;
    tuning.chunkBytes = 1 + (first * 7u + last) % 96u;
    tuning.parallelFrom = 0;
    const unsigned threads = 2 + last % 2u;

    salvage::DocumentReader reader({salvage::Reading::Plain, threads},
                                   salvage::detail::bestImplementation(), tuning);
    // The size is known for a file, not for standard input.
    if (first % 2 == 0) {
        reader.expectSize(data.size());
    }
    qlv_fuzz::PieceSizes sizes(data);
    for (std::size_t at = 0; at < data.size() && !reader.refused();) {
        const std::size_t piece = sizes.next(at);
        reader.feed(data.substr(at, piece));
        at += piece;
    }
    qlv_fuzz::check(everythingSeen(reader.finish("doc.qlx")) == expected,
                    "reading with threads gives what one thread gives");
    return 0;
}
