#include "salvage/base64.h"

#include <gtest/gtest.h>

#include <random>

#include "simd/implementation.h"
#include "test_support.h"

namespace salvage {
namespace {

// Every version of the decoder's routines this processor runs, and the one-character-at-a-time
// reference.
std::vector<const detail::Implementation*> everyVersion() {
    const auto supported = detail::supportedImplementations();
    std::vector<const detail::Implementation*> all(supported.begin(), supported.end());
    all.push_back(&detail::characterAtATime());
    return all;
}

// Each version can be pinned by its name; a name this processor cannot run finds none.
TEST(Base64, EveryVersionIsFoundByItsName) {
    for (const detail::Implementation* routines : everyVersion()) {
        EXPECT_EQ(detail::findImplementation(routines->name), routines) << routines->name;
    }
    EXPECT_EQ(detail::findImplementation("no such version"), nullptr);
}

struct DecodeCase {
    const char* label;
    std::string_view input;
    std::string_view expected;
};

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, DecodesWithAndWithoutFastPath) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(decodeBase64(c.input), c.expected) << c.label;
    EXPECT_EQ(decodeBase64Scalar(c.input), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Base64, DecodeTable,
    ::testing::Values(DecodeCase{"empty", "", ""}, DecodeCase{"one byte padded", "QQ==", "A"},
                      DecodeCase{"two bytes padded", "QUI=", "AB"},
                      DecodeCase{"three bytes", "QUJD", "ABC"},
                      DecodeCase{"padding missing, two chars", "QQ", "A"},
                      DecodeCase{"padding missing, three chars", "QUI", "AB"},
                      DecodeCase{"one lone char gives nothing", "QUJDR", "ABC"},
                      DecodeCase{"padding in the middle restarts", "QUJD=REVG", "ABCDEF"},
                      DecodeCase{"padded groups back to back", "QQ==QkI=", "ABB"},
                      DecodeCase{"lone char before padding is dropped", "Q=QUJD", "ABC"},
                      DecodeCase{"only padding", "====", ""},
                      DecodeCase{"extra padding after a group", "QUJD====", "ABC"},
                      DecodeCase{"white space skipped", " Q U\tJ D ", "ABC"},
                      DecodeCase{"garbage skipped inside groups",
                                 "Q*U!J\x01"
                                 "D",
                                 "ABC"},
                      DecodeCase{"nothing of the alphabet", "*&^%$#@!", ""},
                      DecodeCase{"high bytes skipped", "Q\xc3\xa9UJD", "ABC"},
                      DecodeCase{"plus and slash", "+/+/", "\xfb\xff\xbf"},
                      DecodeCase{"leftover bits ignored", "QR==", "A"}),
    [](const ::testing::TestParamInfo<DecodeCase>& param) {
        return "case" + std::to_string(param.index);
    });

TEST(Base64, RoundTripsRandomBytesFromAnIndependentEncoder) {
    std::mt19937 rng(1234);
    for (std::size_t size = 0; size < 300; ++size) {
        const std::string bytes = testing::randomBytes(rng, size);
        EXPECT_EQ(decodeBase64(testing::encodeBase64(bytes)), bytes);
        EXPECT_EQ(decodeBase64(testing::encodeBase64(bytes, false)), bytes);
    }
}

TEST(Base64, IgnoresNoiseOutsideTheAlphabetWhereverItStands) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> coin(0, 3);
    for (int round = 0; round < 200; ++round) {
        const std::string bytes = testing::randomBytes(rng, static_cast<std::size_t>(round));
        const std::string clean = testing::encodeBase64(bytes);
        std::string noisy;
        for (char c : clean) {
            while (coin(rng) == 0) {
                noisy += testing::randomText(rng, " \t<>\"*!\x80\xff-_.", 1);
            }
            noisy += c;
        }
        EXPECT_EQ(decodeBase64(noisy), bytes);
    }
}

TEST(Base64, DecodesTheSameWhateverThePiecesItArrivesIn) {
    std::mt19937 rng(42);
    for (int round = 0; round < 300; ++round) {
        std::string input =
            testing::encodeBase64(testing::randomBytes(rng, static_cast<std::size_t>(round))) +
            "Q=Q*UJ" + testing::encodeBase64(testing::randomBytes(rng, 5), false);
        std::uniform_int_distribution<std::size_t> cut(0, input.size());
        std::size_t a = cut(rng);
        std::size_t b = cut(rng);
        if (a > b) {
            std::swap(a, b);
        }
        for (const detail::Implementation* routines : everyVersion()) {
            Base64Decoder decoder(*routines);
            std::string out;
            decoder.feed(std::string_view(input).substr(0, a), out);
            decoder.feed(std::string_view(input).substr(a, b - a), out);
            decoder.feed(std::string_view(input).substr(b), out);
            decoder.finish(out);
            EXPECT_EQ(out, decodeBase64Scalar(input)) << routines->name;
        }
    }
}

TEST(Base64, CountsSkippedBytesAndLostSingleCharacters) {
    struct Case {
        std::string_view input;
        std::size_t skipped;
        std::size_t incomplete;
    };
    for (const Case& c : {Case{"QUJD", 0, 0}, Case{"QQ==", 0, 0}, Case{"QUJD*!", 2, 0},
                          Case{"QUJDR", 0, 1}, Case{"Q=Q=", 0, 2}, Case{"Q U", 1, 0}}) {
        Base64Decoder decoder;
        std::string out;
        decoder.feed(c.input, out);
        decoder.finish(out);
        EXPECT_EQ(decoder.skippedBytes(), c.skipped) << c.input;
        EXPECT_EQ(decoder.incompleteGroups(), c.incomplete) << c.input;
    }
}

TEST(Base64, RollbackForgetsEverythingAfterTheCheckpoint) {
    Base64Decoder decoder;
    std::string out;
    decoder.feed("QUJDR", out);  // "ABC" and one pending character
    const auto mark = decoder.checkpoint(out);
    decoder.feed("*x=yyyyyy", out);
    decoder.rollback(mark, out);
    decoder.feed("EVG", out);
    decoder.finish(out);
    EXPECT_EQ(out, "ABCDEF");
    EXPECT_EQ(decoder.skippedBytes(), 0U);
}

}  // namespace
}  // namespace salvage
