// The plain reading of a document cut into chunks read side by side gives what one thread
// gives, byte for byte, wherever the chunks are cut and the input's blocks end.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "read/parallel_lines.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "salvage/report_text.h"
#include "simd/implementation.h"
#include "test_support.h"

namespace {

using salvage::testing::sectionLine;

// Everything a reading gives that a user or a caller can see.
std::string seen(const salvage::ParseResult& result) {
    std::string all = std::to_string(static_cast<int>(result.status)) + result.reason + "\n";
    if (!result.accepted()) {
        return all;
    }
    const salvage::Document& document = result.document;
    for (const salvage::Section section : document.contents) {
        all += std::to_string(section.name.size()) + ":" + std::string(section.name) + "=" +
               std::to_string(section.text.size()) + ":" + std::string(section.text) + "\n";
    }
    all += salvage::summarizeReport(document.report, document.contents.size()) + "\n";
    all += salvage::describeReport(document.report, document.contents) + "\n";
    all += salvage::exportText(document.contents);
    return all;
}

salvage::ParseResult readInBlocks(std::string_view document, std::size_t blockBytes,
                                  const salvage::ReadOptions& options,
                                  const salvage::detail::ChunkTuning& tuning) {
    salvage::DocumentReader reader(options, salvage::detail::bestImplementation(), tuning);
    reader.expectSize(document.size());
    for (std::size_t at = 0; at < document.size() && !reader.refused(); at += blockBytes) {
        reader.feed(document.substr(at, blockBytes));
    }
    return reader.finish("doc.qlx");
}

struct Row {
    const char* what;
    std::string document;
};

std::vector<Row> documents() {
    const std::string header = "<?xml version=\"1.0\"?>";
    const std::string a = sectionLine("Alpha", "first text");
    const std::string b = sectionLine("Beta", "second, a little longer text");
    return {
        {"line feeds", header + "\n" + a + "\n" + b + "\n"},
        {"CR LF", header + "\r\n" + a + "\r\n" + b + "\r\n"},
        {"lone CRs", header + "\r" + a + "\r\r" + b + "\r"},
        {"mixed breaks and blank lines", header + "\r\n\n" + a + "\r\r\n\n" + b + "\n\r"},
        {"no final line break", header + "\n" + a + "\n" + b},
        {"empty last line", header + "\n" + a + "\n\n"},
        {"header only", header},
        {"short first line", "<?xm\n" + a + "\n"},
        {"refused first line", "<html>\n" + a + "\n" + b + "\n"},
        {"empty document", ""},
        {"only line breaks", "\r\n\n\r"},
        {"repeated name in two chunks", header + "\n" + a + "\n" + b + "\n" +
                                            sectionLine("Alpha", "replaced") + "\n" +
                                            sectionLine("Alpha", "again") + "\n"},
        {"lookalike lines",
         header + "\n  " + a + "\nx <SECTION name=\"QQ==\">\n<Section\n<section " + "\n" + b},
        {"damaged Base64", header + "\n<Section name=\"QW!xwaGE=\">Zmly!c3Qg=dGV4dA</Section>\n" +
                               "<Section name=\"Q\">Z</Section>\n<Section name=QmV0YQ==>eA=\n"},
        {"invalid UTF-8", header + "\n" + sectionLine("bad", "\xff\xfe ok") + "\n" + a},
        {"unclosed tags",
         header + "\n<Section name=\"QQ==\">QUJD<b QUJD\n<Section name=\"Qg==\"><<>>QUJD>\n"},
        {"long lines", header + "\n" + sectionLine("Long", std::string(300, 'x')) + "\n" + a +
                           "\n" + std::string(200, 'y') + "\n"},
    };
}

TEST(ParallelReading, GivesWhatOneThreadGivesWhereverChunksAndBlocksEnd) {
    using salvage::detail::ChunkTuning;
    for (const Row& row : documents()) {
        const std::string& document = row.document;
        const std::string expected = seen(salvage::parseText(document, "doc.qlx"));
        // Beyond the document's size, the chunks hold all of it.
        for (std::size_t chunk = 1; chunk <= document.size() + 1; ++chunk) {
            struct Way {
                unsigned threads;
                bool threadsStart;  // else the chunks are read on the calling thread
                std::size_t block;  // 0: the whole document at once
            };
            for (const Way way : {Way{2, false, 0}, Way{2, false, 1}, Way{2, true, 0},
                                  Way{2, true, 1}, Way{3, true, 7}, Way{4, true, 0}}) {
                const ChunkTuning tuning{chunk, way.threadsStart ? 0 : UINT64_MAX};
                const std::size_t block = way.block == 0 ? document.size() : way.block;
                const std::string got =
                    seen(readInBlocks(document, std::max<std::size_t>(block, 1),
                                      {salvage::Reading::Plain, way.threads}, tuning));
                ASSERT_EQ(got, expected) << row.what << ": chunks of " << chunk << ", "
                                         << way.threads << " threads, blocks of " << block;
            }
        }
    }
}

// A larger document with sections long enough to be kept whole, read with the chunk size the
// program uses and as the files arrive, in blocks.
TEST(ParallelReading, LargeDocumentGivesWhatOneThreadGives) {
    std::mt19937 rng(7);
    std::string document = "<?xml version=\"1.0\"?>\r\n";
    for (int i = 0; i < 400; ++i) {
        const std::size_t length = i % 50 == 0 ? 100'000 : rng() % 3000;
        document += sectionLine("S" + std::to_string(rng() % 300),
                                salvage::testing::randomBytes(rng, length));
        document += i % 3 == 0 ? "\r\n" : "\n";
    }
    const std::string expected = seen(salvage::parseText(document, "doc.qlx"));
    for (const std::size_t chunk : {std::size_t{4096}, std::size_t{1} << 20}) {
        for (const unsigned threads : {2U, 4U}) {
            EXPECT_EQ(
                seen(readInBlocks(document, 65536, {salvage::Reading::Plain, threads}, {chunk, 0})),
                expected)
                << chunk << " " << threads;
        }
    }
    EXPECT_EQ(seen(salvage::parseText(document, "doc.qlx", {salvage::Reading::Plain, 2})),
              expected);
}

}  // namespace
