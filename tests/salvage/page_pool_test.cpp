#include "store/page_pool.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base64_encoder.h"
#include "salvage/reader.h"

namespace salvage::detail {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

struct Buffer {
    char* bytes = nullptr;
    std::size_t size = 0;
    char fill = 0;
};

Buffer take(PagePool& pool, std::size_t size, char fill) {
    auto* const bytes = static_cast<char*>(pool.allocate(size));
    std::memset(bytes, fill, size);
    return {bytes, size, fill};
}

// Every byte as it was written: no buffer was handed out twice, nor overlaps another.
bool intact(const Buffer& buffer) {
    for (std::size_t i = 0; i < buffer.size; ++i) {
        if (buffer.bytes[i] != buffer.fill) {
            return false;
        }
    }
    return true;
}

// Buffers of every kind the pool tells apart (carved from a chunk, filling a chunk's last
// room, too large to share one), freed out of order and in order, while others live on.
TEST(PagePool, BuffersNeverOverlapWhateverTheSizesAndOrderOfFreeing) {
    PagePool pool({.chunkBytes = 4 * kMiB, .idleChunks = 2});
    const std::vector<std::size_t> sizes = {1,        63,       64,          65536,    kMiB - 1,
                                            kMiB,     kMiB + 1, 3 * kMiB,    5 * kMiB, 100,
                                            2 * kMiB, 4096,     kMiB / 2 + 7};
    std::mt19937 random(11);
    std::vector<Buffer> live;
    for (int round = 0; round < 400; ++round) {
        if (!live.empty() && random() % 3 == 0) {
            const std::size_t which = random() % live.size();
            ASSERT_TRUE(intact(live[which])) << round;
            pool.deallocate(live[which].bytes, live[which].size);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(which));
            continue;
        }
        const std::size_t size = sizes[random() % sizes.size()];
        live.push_back(take(pool, size, static_cast<char>('a' + round % 26)));
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(live.back().bytes) % 64, 0U) << size;
    }
    for (const Buffer& buffer : live) {
        ASSERT_TRUE(intact(buffer));
        pool.deallocate(buffer.bytes, buffer.size);
    }
    const PagePool::Usage usage = pool.usage();
    EXPECT_LE(usage.chunksHeld, 2U);
    EXPECT_EQ(usage.idleChunks, usage.chunksHeld);
}

// What one document freed serves the next without new mappings, and no more than the bound
// is kept once nothing is in use.
TEST(PagePool, FreedChunksServeTheNextDocumentUpToTheBound) {
    struct Case {
        std::size_t idleChunks;
        std::size_t chunksFilled;
    };
    for (const Case c : {Case{1, 3}, Case{2, 3}, Case{4, 3}, Case{4, 6}}) {
        SCOPED_TRACE(testing::Message() << c.idleChunks << " idle, " << c.chunksFilled);
        PagePool pool({.chunkBytes = 4 * kMiB, .idleChunks = c.idleChunks});
        const auto fillAndFree = [&] {
            std::vector<Buffer> document;
            for (std::size_t i = 0; i < c.chunksFilled * 3; ++i) {
                document.push_back(take(pool, kMiB, 'x'));  // three to a chunk
            }
            for (const Buffer& buffer : document) {
                pool.deallocate(buffer.bytes, buffer.size);
            }
        };
        fillAndFree();
        const PagePool::Usage first = pool.usage();
        EXPECT_EQ(first.chunksMapped, c.chunksFilled);
        const std::size_t kept = std::min(c.idleChunks, c.chunksFilled);
        EXPECT_EQ(first.chunksHeld, kept);
        EXPECT_EQ(first.idleChunks, kept);
        fillAndFree();
        EXPECT_EQ(pool.usage().chunksMapped, c.chunksFilled + (c.chunksFilled - kept));
    }
}

// A text decoded into room that turns out too large is moved into an exact buffer and the room
// freed, line after line: the room of the buffer carved last must serve the next one, or a
// long document would fill chunk after chunk with holes.
TEST(PagePool, TheRoomOfTheLastBufferServesTheNext) {
    PagePool pool({.chunkBytes = 4 * kMiB, .idleChunks = 1});
    const Buffer kept = take(pool, 65536, 'k');
    for (int line = 0; line < 1000; ++line) {
        const Buffer room = take(pool, kMiB, 'r');
        pool.deallocate(room.bytes, room.size);
    }
    EXPECT_EQ(pool.usage().chunksMapped, 1U);
    EXPECT_TRUE(intact(kept));
    pool.deallocate(kept.bytes, kept.size);
}

// Threads that each decode into their own storage share the pool.
TEST(PagePool, ThreadsShareItWithoutHandingOutABufferTwice) {
    PagePool pool({.chunkBytes = 4 * kMiB, .idleChunks = 3});
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&pool, &failures, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            std::vector<Buffer> live;
            for (int round = 0; round < 600; ++round) {
                if (live.size() > 8 || (!live.empty() && random() % 2 == 0)) {
                    failures[static_cast<std::size_t>(t)] += intact(live.back()) ? 0 : 1;
                    pool.deallocate(live.back().bytes, live.back().size);
                    live.pop_back();
                    continue;
                }
                const std::size_t size = 65536 + random() % (kMiB / 4);
                live.push_back(take(pool, size, static_cast<char>('A' + t)));
            }
            for (const Buffer& buffer : live) {
                failures[static_cast<std::size_t>(t)] += intact(buffer) ? 0 : 1;
                pool.deallocate(buffer.bytes, buffer.size);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
    EXPECT_EQ(pool.usage().chunksHeld, pool.usage().idleChunks);
}

// Storage reused from an earlier document holds that document's bytes: reading must not
// depend on fresh memory being zero. Texts long enough to be kept where they were decoded, read
// before and after a larger document with other texts, come out whole and unchanged.
TEST(PagePool, ReadingIsTheSameInStorageAnEarlierDocumentUsed) {
    struct Made {
        std::string document = "<?xml version=\"1.0\"?>\n";
        std::vector<std::string> texts;
    };
    const auto make = [](std::size_t sections, std::size_t textBytes, char letter) {
        Made made;
        for (std::size_t i = 0; i < sections; ++i) {
            made.texts.emplace_back(textBytes + i * 977,
                                    static_cast<char>(static_cast<std::size_t>(letter) + i % 3));
            made.document += "<Section name=\"" + qlv::encodeBase64("S" + std::to_string(i)) +
                             "\">" + qlv::encodeBase64(made.texts.back()) + "</Section>\n";
        }
        return made;
    };
    const Made small = make(40, 70000, 'a');
    const Made large = make(60, 300000, 'x');
    for (const Reading reading : {Reading::Plain, Reading::Thorough}) {
        for (const Made* made : {&small, &large, &small}) {
            const ParseResult result = parseText(made->document, "d.qlx", reading);
            ASSERT_EQ(result.document.contents.size(), made->texts.size());
            for (std::size_t i = 0; i < made->texts.size(); ++i) {
                ASSERT_EQ(result.document.contents[i].text, made->texts[i]) << i;
            }
        }
    }
}

}  // namespace
}  // namespace salvage::detail
