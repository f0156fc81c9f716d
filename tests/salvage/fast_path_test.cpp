// Every version of the routines that have one per instruction set (vector Base64 blocks,
// vector UTF-8 and control checks) must give exactly what the plain code gives, on clean,
// random and damaged input alike; so must the reader built on them.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "salvage/base64.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "simd/implementation.h"
#include "test_support.h"

namespace salvage {
namespace {

using detail::Implementation;

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class EveryVersion : public ::testing::TestWithParam<const Implementation*> {
  protected:
    const Implementation& routines() const { return *GetParam(); }

    bool isValidUtf8(std::string_view text) const {
        return routines().isValidUtf8(reinterpret_cast<const unsigned char*>(text.data()),
                                      text.size());
    }
    bool hasControls(std::string_view text) const {
        return routines().hasControls(reinterpret_cast<const unsigned char*>(text.data()),
                                      text.size());
    }
};

bool plainUtf8(std::string_view text) {
    return detail::plainImplementation().isValidUtf8(
        reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

bool plainControls(std::string_view text) {
    return detail::plainImplementation().hasControls(
        reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// Decodes `input` in the given pieces.
std::string decodeInPieces(const Implementation& routines, std::string_view input,
                           const std::vector<std::size_t>& cuts) {
    Base64Decoder decoder(routines);
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
TEST_P(EveryVersion, Base64WithAnyOneByteAnywhereInAlongCleanRun) {
    std::mt19937 rng(11);
    const std::string clean = testing::randomText(rng, kAlphabet, 100);
    for (std::size_t at = 0; at <= clean.size(); at += 3) {
        for (int byte = 0; byte < 256; ++byte) {
            std::string input = clean;
            input.insert(at, 1, static_cast<char>(byte));
            const std::string plain = decodeBase64Scalar(input);
            ASSERT_EQ(decodeBase64(input, routines()), plain) << "byte " << byte << " at " << at;
        }
    }
}

TEST_P(EveryVersion, Base64OnRandomDamageAndRandomPieces) {
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
        ASSERT_EQ(decodeInPieces(routines(), input, cuts), plain) << input;
        ASSERT_EQ(decodeBase64(input, routines()), plain) << input;
    }
}

TEST_P(EveryVersion, Base64DecoderCountsTheSameDamage) {
    std::mt19937 rng(13);
    for (int round = 0; round < 500; ++round) {
        std::string input = testing::randomText(rng, kAlphabet, 300);
        for (int k = round % 7; k > 0; --k) {
            input[rng() % input.size()] = "=*Q\n"[rng() % 4];
        }
        Base64Decoder decoder(routines());
        Base64Decoder reference(detail::characterAtATime());
        std::string out;
        std::string referenceOut;
        decoder.feed(input, out);
        decoder.finish(out);
        reference.feed(input, referenceOut);
        reference.finish(referenceOut);
        ASSERT_EQ(decoder.skippedBytes(), reference.skippedBytes()) << input;
        ASSERT_EQ(decoder.incompleteGroups(), reference.incompleteGroups()) << input;
    }
}

// Well-formed text of many scripts, then broken in every way a byte can break it.
TEST_P(EveryVersion, Utf8CheckAgreesOnValidAndBrokenText) {
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
        ASSERT_TRUE(isValidUtf8(text)) << round;
        if (!text.empty()) {
            std::string broken = text;
            broken[rng() % broken.size()] = static_cast<char>(rng() % 256);
            ASSERT_EQ(isValidUtf8(broken), plainUtf8(broken)) << round;
            // Cut short anywhere, for a sequence cut at the end of a block or of the text.
            const std::string cut = text.substr(0, rng() % text.size());
            ASSERT_EQ(isValidUtf8(cut), plainUtf8(cut)) << round;
        }
    }
}

// The rules of UTF-8 themselves, so that no version, the plain one included, can be wrong in
// the same way as the others: each sequence alone, between ASCII across the edge of two
// 32-byte blocks, and at the very end of a text.
TEST_P(EveryVersion, Utf8CheckKnowsTheRules) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"\x7f", true},
        {"\xc2\x80", true},
        {"\xdf\xbf", true},
        {"\xe0\xa0\x80", true},
        {"\xed\x9f\xbf", true},  // just below the surrogates
        {"\xee\x80\x80", true},  // just above them
        {"\xef\xbf\xbf", true},
        {"\xf0\x90\x80\x80", true},
        {"\xf4\x8f\xbf\xbf", true},   // the largest code point
        {"\xc0\x80", false},          // overlong NUL
        {"\xc1\xbf", false},          // overlong
        {"\xe0\x80\x80", false},      // overlong
        {"\xe0\x9f\xbf", false},      // overlong
        {"\xf0\x80\x80\x80", false},  // overlong
        {"\xf0\x8f\xbf\xbf", false},  // overlong
        {"\xed\xa0\x80", false},      // a surrogate
        {"\xed\xbf\xbf", false},      // a surrogate
        {"\xf4\x90\x80\x80", false},  // above U+10FFFF
        {"\xf5\x80\x80\x80", false},
        {"\xff", false},
        {"\x80", false},          // a continuation byte alone
        {"\xc3", false},          // cut short
        {"\xe2\x80", false},      // cut short
        {"\xf0\x9f\x8d", false},  // cut short
        {"\xe2\x28\xa1", false},  // a continuation byte missing
    };
    for (const Case& c : cases) {
        for (const std::size_t before : {std::size_t{0}, std::size_t{30}, std::size_t{62}}) {
            const std::string text = std::string(before, 'x') + c.bytes;
            EXPECT_EQ(isValidUtf8(text), c.valid) << ::testing::PrintToString(text);
            EXPECT_EQ(isValidUtf8(text + std::string(40, 'y')), c.valid)
                << ::testing::PrintToString(text);
        }
    }
}

// Every sequence of up to three bytes from the bytes that matter, placed across the edge
// between two 32-byte blocks, and at the very end.
TEST_P(EveryVersion, Utf8CheckAgreesOnEveryShortSequenceAtBlockEdges) {
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
                        ASSERT_EQ(isValidUtf8(t), plainUtf8(t))
                            << at << " " << int{a} << " " << int{b} << " " << int{c} << " "
                            << int{d};
                    }
                }
            }
        }
    }
}

// Each byte value, and each byte after 0xC2 (U+0080 to U+009F are controls), at the edges of
// the 32-byte blocks and at the very end of texts of many lengths.
TEST_P(EveryVersion, ControlCheckAgreesOnEveryByteAtBlockEdges) {
    for (const std::size_t length :
         {std::size_t{40}, std::size_t{64}, std::size_t{65}, std::size_t{97}, std::size_t{130}}) {
        const std::string text(length, 'x');
        for (std::size_t at = 0; at + 1 < length;
             at += at % 32 == 0 ? std::size_t{30} : std::size_t{1}) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string one = text;
                one[at] = static_cast<char>(byte);
                ASSERT_EQ(hasControls(one), plainControls(one))
                    << length << " " << at << " " << byte;
                std::string pair = text;
                pair[at] = '\xc2';
                pair[at + 1] = static_cast<char>(byte);
                ASSERT_EQ(hasControls(pair), plainControls(pair))
                    << length << " " << at << " C2 " << byte;
            }
        }
        std::string last = text;
        last.back() = '\xc2';
        ASSERT_EQ(hasControls(last), plainControls(last)) << length;
    }
}

// A damaged document with short, long and huge section lines.
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

ParseResult readInPieces(DocumentReader& reader, std::string_view doc, std::mt19937& rng,
                         std::size_t largest) {
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

// Both readings, in pieces of many sizes: same sections, same texts, same report as the
// reference.
TEST_P(EveryVersion, ReaderGivesTheSameDocumentAsTheReference) {
    std::mt19937 rng(15);
    for (int round = 0; round < 12; ++round) {
        const std::string doc = damagedDocument(rng);
        // The thorough reading is slower per piece: every fourth round.
        for (const Reading reading : {Reading::Plain, Reading::Thorough}) {
            if (reading == Reading::Thorough && round % 4 != 0) {
                continue;
            }
            DocumentReader referenceReader(reading, detail::characterAtATime());
            const ParseResult reference = readInPieces(referenceReader, doc, rng, doc.size());
            const std::string expected = exportText(reference.document.contents);
            for (const std::size_t largest :
                 {std::size_t{7}, std::size_t{4096}, std::size_t{1} << 20}) {
                DocumentReader reader(reading, routines());
                const ParseResult result = readInPieces(reader, doc, rng, largest);
                ASSERT_TRUE(result.accepted());
                ASSERT_EQ(exportText(result.document.contents), expected)
                    << round << " " << largest;
                const SalvageReport& a = result.document.report;
                const SalvageReport& b = reference.document.report;
                EXPECT_EQ(a.linesRead, b.linesRead);
                EXPECT_EQ(a.sectionLines, b.sectionLines);
                EXPECT_EQ(a.damagedBase64.size(), b.damagedBase64.size());
                EXPECT_EQ(a.invalidUtf8Sections, b.invalidUtf8Sections);
                EXPECT_EQ(a.replacements.size(), b.replacements.size());
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FastPaths, EveryVersion,
                         ::testing::ValuesIn(detail::supportedImplementations().begin(),
                                             detail::supportedImplementations().end()),
                         [](const ::testing::TestParamInfo<const Implementation*>& version) {
                             return std::string(version.param->name);
                         });

}  // namespace
}  // namespace salvage

namespace salvage {
namespace {

// The UTF-8 check runs as each section is stored; a later text of the same name decides.
TEST(FastPaths, InvalidUtf8IsJudgedOnEachSectionsLastText) {
    const auto line = testing::sectionLine;
    const std::string bad = "\xff broken";
    const std::string doc = "<?xml \n" + line("A", bad) + line("B", "fine") + line("C", bad) +
                            line("A", "mended") + line("B", std::string(100, 'x') + bad);
    const ParseResult result = parseText(doc, "u");
    EXPECT_EQ(result.document.report.invalidUtf8Sections, (std::vector<std::size_t>{1, 2}));
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
