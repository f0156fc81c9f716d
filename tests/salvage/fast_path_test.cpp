// The fast paths (vector Base64 blocks, vector UTF-8 checking, the reader's storage handling)
// must give exactly what the plain code gives, on clean, random and damaged input alike.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "salvage/base64.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "test_support.h"
#include "utf8.h"

namespace salvage {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Turns the fast paths off for the scope.
class PlainPaths {
  public:
    PlainPaths() {
        setBase64FastPathEnabled(false);
        detail::utf8FastPathEnabled = false;
    }
    ~PlainPaths() {
        setBase64FastPathEnabled(true);
        detail::utf8FastPathEnabled = true;
    }
    PlainPaths(const PlainPaths&) = delete;
    PlainPaths& operator=(const PlainPaths&) = delete;
};

// Decodes `input` in the given pieces, with or without the fast path.
std::string decodeInPieces(std::string_view input, const std::vector<std::size_t>& cuts) {
    Base64Decoder decoder;
    std::string out;
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        decoder.feed(input.substr(at, cut - at), out);
        at = cut;
    }
    decoder.feed(input.substr(at), out);
    decoder.finish(out);
    return out;
}

// Every byte value at every position of a run long enough for several vector blocks: the
// block that holds it must fall back, and the blocks around it must not change.
TEST(FastPaths, Base64WithAnyOneByteAnywhereInAlongCleanRun) {
    std::mt19937 rng(11);
    const std::string clean = testing::randomText(rng, kAlphabet, 100);
    for (std::size_t at = 0; at <= clean.size(); at += 3) {
        for (int byte = 0; byte < 256; ++byte) {
            std::string input = clean;
            input.insert(at, 1, static_cast<char>(byte));
            const std::string plain = decodeBase64Scalar(input);
            ASSERT_EQ(decodeBase64(input), plain) << "byte " << byte << " at " << at;
        }
    }
}

TEST(FastPaths, Base64OnRandomDamageAndRandomPieces) {
    std::mt19937 rng(12);
    const std::string junk = "= \r\n\t*-_<>\"\x80\xff\0";
    for (int round = 0; round < 3000; ++round) {
        const auto length = static_cast<std::size_t>(rng() % 400);
        std::string input = testing::randomText(rng, kAlphabet, length);
        // From no damage to damage everywhere.
        const auto damage = static_cast<std::size_t>(rng() % (round % 3 == 0 ? 2 : 40));
        for (std::size_t k = 0; k < damage && !input.empty(); ++k) {
            input[rng() % input.size()] = junk[rng() % junk.size()];
        }
        std::vector<std::size_t> cuts;
        for (auto pieces = rng() % 4; pieces > 0; --pieces) {
            cuts.push_back(rng() % (input.size() + 1));
        }
        std::sort(cuts.begin(), cuts.end());
        const std::string plain = decodeBase64Scalar(input);
        ASSERT_EQ(decodeInPieces(input, cuts), plain) << input;
        ASSERT_EQ(decodeBase64(input), plain) << input;
    }
}

TEST(FastPaths, Base64DecoderCountsTheSameDamage) {
    std::mt19937 rng(13);
    for (int round = 0; round < 500; ++round) {
        std::string input = testing::randomText(rng, kAlphabet, 300);
        for (int k = round % 7; k > 0; --k) {
            input[rng() % input.size()] = "=*Q\n"[rng() % 4];
        }
        std::size_t skipped[2] = {};
        std::size_t incomplete[2] = {};
        for (const bool fast : {true, false}) {
            setBase64FastPathEnabled(fast);
            Base64Decoder decoder;
            std::string out;
            decoder.feed(input, out);
            decoder.finish(out);
            skipped[fast] = decoder.skippedBytes();
            incomplete[fast] = decoder.incompleteGroups();
        }
        setBase64FastPathEnabled(true);
        ASSERT_EQ(skipped[0], skipped[1]) << input;
        ASSERT_EQ(incomplete[0], incomplete[1]) << input;
    }
}

bool plainUtf8(std::string_view text) {
    const PlainPaths plain;
    return detail::isValidUtf8(text);
}

// Well-formed text of many scripts, then broken in every way a byte can break it.
TEST(FastPaths, Utf8CheckAgreesOnValidAndBrokenText) {
    const std::vector<std::string> pieces = {"a",
                                             "Z ",
                                             "\xc3\xa9",
                                             "\xc2\x80",
                                             "\xdf\xbf",
                                             "\xe2\x80\x94",
                                             "\xe0\xa0\x80",
                                             "\xed\x9f\xbf",
                                             "\xef\xbf\xbd",
                                             "\xf0\x90\x80\x80",
                                             "\xf4\x8f\xbf\xbf",
                                             "\xf0\x9f\x8d\x8f"};
    std::mt19937 rng(14);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const auto length = static_cast<std::size_t>(rng() % 200);
        while (text.size() < length) {
            text += pieces[rng() % pieces.size()];
        }
        ASSERT_TRUE(detail::isValidUtf8(text)) << round;
        if (!text.empty()) {
            std::string broken = text;
            broken[rng() % broken.size()] = static_cast<char>(rng() % 256);
            ASSERT_EQ(detail::isValidUtf8(broken), plainUtf8(broken)) << round;
            // Cut short anywhere, for a sequence cut at the end of a block or of the text.
            const std::string cut = text.substr(0, rng() % text.size());
            ASSERT_EQ(detail::isValidUtf8(cut), plainUtf8(cut)) << round;
        }
    }
}

// Every sequence of up to three bytes from the bytes that matter, placed across the edge
// between two 32-byte blocks, and at the very end.
TEST(FastPaths, Utf8CheckAgreesOnEveryShortSequenceAtBlockEdges) {
    const std::vector<unsigned char> bytes = {0x00, 0x41, 0x7f, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf,
                                              0xc0, 0xc1, 0xc2, 0xdf, 0xe0, 0xe1, 0xec, 0xed, 0xee,
                                              0xef, 0xf0, 0xf1, 0xf3, 0xf4, 0xf5, 0xff};
    std::string text(70, 'x');
    for (const std::size_t at : {std::size_t{29}, std::size_t{31}, std::size_t{66}}) {
        for (unsigned char a : bytes) {
            for (unsigned char b : bytes) {
                for (unsigned char c : bytes) {
                    for (const int d : {0x80, 0xbf, 0x41}) {
                        std::string t = text;
                        t[at] = static_cast<char>(a);
                        t[at + 1] = static_cast<char>(b);
                        t[at + 2] = static_cast<char>(c);
                        if (at + 3 < t.size()) {
                            t[at + 3] = static_cast<char>(d);
                        }
                        ASSERT_EQ(detail::isValidUtf8(t), plainUtf8(t))
                            << at << " " << int{a} << " " << int{b} << " " << int{c} << " "
                            << int{d};
                    }
                }
            }
        }
    }
}

// A damaged document with short, long and huge section lines, read in pieces of many sizes
// with the fast paths on and off: same sections, same texts, same report.
std::string damagedDocument(std::mt19937& rng) {
    std::string doc = "<?xml version=\"1.0\"?>\r\n";
    const char* eols[] = {"\n", "\r\n", "\r"};
    for (int line = 0; line < 60; ++line) {
        const auto kind = rng() % 8;
        std::size_t size = rng() % 300;
        if (kind == 0) {
            size = 200'000 + rng() % 300'000;  // spans several pieces
        }
        std::string body = testing::encodeBase64(testing::randomBytes(rng, size));
        for (auto k = rng() % 5; k > 0 && !body.empty(); --k) {
            body.insert(rng() % body.size(), std::string(1, "=<>*\n "[rng() % 6]));
        }
        const std::string name = testing::encodeBase64("S" + std::to_string(rng() % 20));
        switch (kind) {
            case 1:
                doc += "  <Section name=\"" + name + "\">" + body + "</Section>";
                break;
            case 2:
                doc += "<SECTION NAME=\"" + name + "\">" + body;
                break;
            case 3:
                doc += "<Section name=\"" + name + body;
                break;
            default:
                doc += "<Section name=\"" + name + "\" style=\"body\">" + body + "</Section>";
        }
        doc += eols[rng() % 3];
    }
    return doc;
}

ParseResult readInPieces(std::string_view doc, std::mt19937& rng, std::size_t largest) {
    DocumentReader reader;
    if (rng() % 2 == 0) {
        reader.expectSize(doc.size());
    }
    for (std::size_t at = 0; at < doc.size();) {
        const std::size_t size = 1 + rng() % largest;
        reader.feed(doc.substr(at, size));
        at += size;
    }
    return reader.finish("d.qlx");
}

TEST(FastPaths, ReaderGivesTheSameDocumentWithAndWithoutThem) {
    std::mt19937 rng(15);
    for (int round = 0; round < 12; ++round) {
        const std::string doc = damagedDocument(rng);
        ParseResult plain;
        {
            const PlainPaths off;
            plain = readInPieces(doc, rng, doc.size());
        }
        const std::string expected = exportText(plain.document.contents);
        for (const std::size_t largest :
             {std::size_t{7}, std::size_t{4096}, std::size_t{1} << 20}) {
            const ParseResult fast = readInPieces(doc, rng, largest);
            ASSERT_TRUE(fast.accepted());
            ASSERT_EQ(exportText(fast.document.contents), expected) << round << " " << largest;
            const SalvageReport& a = fast.document.report;
            const SalvageReport& b = plain.document.report;
            EXPECT_EQ(a.linesRead, b.linesRead);
            EXPECT_EQ(a.sectionLines, b.sectionLines);
            EXPECT_EQ(a.damagedBase64.size(), b.damagedBase64.size());
            EXPECT_EQ(a.invalidUtf8Sections, b.invalidUtf8Sections);
            EXPECT_EQ(a.replacements.size(), b.replacements.size());
        }
    }
}

}  // namespace
}  // namespace salvage

namespace salvage {
namespace {

// The UTF-8 check runs as each section is stored; a later text of the same name decides.
TEST(FastPaths, InvalidUtf8IsJudgedOnEachSectionsLastText) {
    using testing::encodeBase64;
    const auto line = [](std::string_view name, std::string_view text) {
        return "<Section name=\"" + encodeBase64(name) + "\">" + encodeBase64(text) +
               "</Section>\n";
    };
    const std::string bad = "\xff broken";
    const std::string doc = "<?xml \n" + line("A", bad) + line("B", "fine") + line("C", bad) +
                            line("A", "mended") + line("B", std::string(100, 'x') + bad);
    const ParseResult result = parseText(doc, "u");
    EXPECT_EQ(result.document.report.invalidUtf8Sections, (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(result.document.contents.indexOf("C"), 2U);
    EXPECT_EQ(result.document.contents.indexOf("D"), std::nullopt);
}

}  // namespace
}  // namespace salvage

namespace salvage {
namespace {

// A large document, read once with its size known (each text sized once, large texts on huge
// pages) and once without: what it stores must not depend on that.
TEST(FastPaths, LargeDocumentReadsTheSameWhetherItsSizeIsKnown) {
    std::mt19937 rng(16);
    std::string doc = "<?xml \n";
    const std::string body = testing::encodeBase64(testing::randomBytes(rng, 48 << 10));
    for (int i = 0; doc.size() < (std::size_t{72} << 20); ++i) {
        doc += "<Section name=\"" + testing::encodeBase64("N" + std::to_string(i % 1000)) + "\">" +
               body.substr(static_cast<std::size_t>(i % 97) * 4) + "</Section>\n";
    }
    DocumentReader ahead;
    ahead.expectSize(doc.size());
    DocumentReader plain;
    for (std::size_t at = 0; at < doc.size(); at += std::size_t{4} << 20) {
        ahead.feed(std::string_view(doc).substr(at, std::size_t{4} << 20));
        plain.feed(std::string_view(doc).substr(at, std::size_t{4} << 20));
    }
    const ParseResult a = ahead.finish("a");
    const ParseResult b = plain.finish("b");
    ASSERT_EQ(a.document.contents.size(), 1000U);
    EXPECT_TRUE(exportText(a.document.contents) == exportText(b.document.contents));
}

}  // namespace
}  // namespace salvage
