// The plain reading of a document cut into chunks read side by side gives what one thread
// gives, byte for byte, wherever the chunks are cut and the input's blocks end.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "read/line_reading.h"
#include "read/parallel_lines.h"
#include "reading_seen.h"
#include "salvage/reader.h"
#include "simd/implementation.h"
#include "test_support.h"

namespace {

using salvage::testing::everythingSeen;

using salvage::testing::sectionLine;

salvage::ParseResult readInBlocks(std::string_view document, std::size_t blockBytes,
                                  const salvage::ReadOptions& options,
                                  const salvage::detail::ChunkTuning& tuning) {
    salvage::DocumentReader reader(options, salvage::detail::bestImplementation(), tuning);
    reader.expectSize(document.size());
    std::string block;
    for (std::size_t at = 0; at < document.size() && !reader.refused(); at += blockBytes) {
        block = document.substr(at, blockBytes);
        reader.feed(block);
        // A block is the reader's only while feed() runs: one read later shows up as '#'.
        std::fill(block.begin(), block.end(), '#');
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
        const std::string expected = everythingSeen(salvage::parseText(document, "doc.qlx"));
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
                    everythingSeen(readInBlocks(document, std::max<std::size_t>(block, 1),
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
    const std::string expected = everythingSeen(salvage::parseText(document, "doc.qlx"));
    for (const std::size_t chunk : {std::size_t{4096}, std::size_t{1} << 20}) {
        for (const unsigned threads : {2U, 4U}) {
            EXPECT_EQ(everythingSeen(readInBlocks(document, 65536,
                                                  {salvage::Reading::Plain, threads}, {chunk, 0})),
                      expected)
                << chunk << " " << threads;
        }
    }
    EXPECT_EQ(everythingSeen(salvage::parseText(document, "doc.qlx", {salvage::Reading::Plain, 2})),
              expected);
}

// The chunking on its own, with a reading that notes each line and where it starts: every
// line reaches a chunk reading whole and at its offset, and the merges come in input order.
struct NotedLine {
    std::uint64_t offset = 0;
    std::string text;
    bool operator==(const NotedLine&) const = default;
};

class NotingChunk final : public salvage::detail::LineReading {
  public:
    void feed(std::string_view piece, std::uint64_t, bool, std::uint64_t offset) override {
        if (!started_) {
            line_.offset = offset;
            started_ = true;
        }
        line_.text += piece;
        if (line_.text.find("boom") != std::string::npos) {
            throw std::bad_alloc();
        }
    }
    void endLine() override {
        lines.push_back(std::exchange(line_, NotedLine{}));
        started_ = false;
    }
    bool lineStarted() const override { return !line_.text.empty(); }
    bool refused() const override { return false; }
    bool finish() override { return true; }

    std::vector<NotedLine> lines;

  private:
    NotedLine line_;
    bool started_ = false;
};

class NotingReading final : public salvage::detail::LineReading,
                            public salvage::detail::ChunkedLines {
  public:
    void feed(std::string_view, std::uint64_t, bool, std::uint64_t) override {}
    void endLine() override {}
    bool lineStarted() const override { return false; }
    bool refused() const override { return false; }
    bool finish() override { return true; }
    std::unique_ptr<LineReading> readChunk(bool, std::size_t) override {
        return std::make_unique<NotingChunk>();
    }
    void merge(LineReading& chunk) override {
        for (NotedLine& line : static_cast<NotingChunk&>(chunk).lines) {
            lines.push_back(std::move(line));
        }
    }

    std::vector<NotedLine> lines;
};

// Lines as the reader splits them: the first one ends with the input at the latest, a last
// one only when it has bytes.
std::vector<NotedLine> linesOf(std::string_view input) {
    std::vector<NotedLine> lines;
    NotedLine line;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] != '\r' && input[i] != '\n') {
            line.text += input[i];
            continue;
        }
        lines.push_back(std::exchange(line, NotedLine{}));
        if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') {
            ++i;
        }
        line.offset = i + 1;
    }
    if (lines.empty() || !line.text.empty()) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ParallelLines, HandsEveryLineWholeAtItsOffsetAndMergesInOrder) {
    const std::string input =
        "first\r\nsecond\rthird\n\n\r\r\nlonger line here\r\n" + std::string(40, 'x') + "\rlast";
    for (const std::string_view text : {std::string_view(input), std::string_view("\n"),
                                        std::string_view(""), std::string_view("one\r")}) {
        const std::vector<NotedLine> expected = linesOf(text);
        for (std::size_t chunk = 1; chunk <= text.size() + 1; ++chunk) {
            for (const std::size_t block : {std::size_t{1}, std::size_t{5}, text.size() + 1}) {
                NotingReading reading;
                salvage::detail::ParallelLines lines(reading, reading, 3, {chunk, 0}, 0);
                for (std::size_t at = 0; at < text.size(); at += block) {
                    lines.feed(text.substr(at, block), 0);
                }
                lines.finish();
                ASSERT_EQ(reading.lines, expected)
                    << "chunks of " << chunk << ", blocks of " << block << ": " << text;
            }
        }
    }
}

// A chunk reading that runs out of memory, on a thread or on the caller's: the caller is told,
// and no thread outlives the reading (a std::thread left running would end the program).
TEST(ParallelLines, AFailedChunkReachesTheCallerAndTheThreadsAreJoined) {
    std::string input = "header\n";
    for (int i = 0; i < 200; ++i) {
        input += i == 150 ? "boom\n" : "line " + std::to_string(i) + "\n";
    }
    for (const unsigned threads : {2U, 4U}) {
        NotingReading reading;
        EXPECT_THROW(
            {
                salvage::detail::ParallelLines lines(reading, reading, threads, {16, 0}, 0);
                lines.feed(input, 0);
                lines.finish();
            },
            std::bad_alloc)
            << threads;
        EXPECT_LE(reading.lines.size(), 151U);
    }
}

}  // namespace
