#include "normalize/input_normalizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "salvage/reader.h"
#include "salvage/report_text.h"
#include "simd/utf8.h"
#include "test_support.h"

namespace salvage::detail {
namespace {

using namespace std::literals;

struct Normalized {
    std::string text;
    InputFindings findings;
};

// Feeds `input` cut at `cuts` (ascending offsets), checking at each step that the bound of
// what is still to come holds.
Normalized normalize(std::string_view input, const std::vector<std::size_t>& cuts,
                     std::size_t& boundFailures) {
    InputNormalizer normalizer;
    std::vector<std::uint64_t> bounds;  // output so far + bound of the rest, after each chunk
    Normalized result;
    std::size_t from = 0;
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
        const std::size_t to = k < cuts.size() ? cuts[k] : input.size();
        normalizer.feed(input.substr(from, to - from), result.text);
        bounds.push_back(result.text.size() + normalizer.normalizedBound(input.size() - to));
        from = to;
    }
    normalizer.finish(result.text);
    for (const std::uint64_t bound : bounds) {
        boundFailures += bound < result.text.size() ? 1u : 0u;
    }
    result.findings = normalizer.findings();
    return result;
}

// Every way to cut `input` in two, and one byte at a time: the splits are where a streaming
// filter breaks. Long inputs are cut at every `stride`th place only.
std::vector<std::vector<std::size_t>> cutsOf(std::size_t size, std::size_t stride = 1) {
    std::vector<std::vector<std::size_t>> all{{}};
    for (std::size_t at = 1; at < size; at += stride) {
        all.push_back({at});
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t at = 1; at < size; ++at) {
        everyByte.push_back(at);
    }
    all.push_back(everyByte);
    return all;
}

struct Row {
    const char* label;
    std::string input;
    std::string expected;
    InputFindings findings;
};

void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        for (const auto& cuts : cutsOf(row.input.size())) {
            std::size_t boundFailures = 0;
            const Normalized got = normalize(row.input, cuts, boundFailures);
            ASSERT_EQ(got.text, row.expected)
                << cuts.size() << " cuts, first at " << (cuts.empty() ? 0 : cuts[0]);
            EXPECT_EQ(boundFailures, 0u);
            EXPECT_EQ(got.findings.textEncoding, row.findings.textEncoding);
            EXPECT_EQ(got.findings.byteOrderMark, row.findings.byteOrderMark);
            EXPECT_EQ(got.findings.quotedPrintable, row.findings.quotedPrintable);
            EXPECT_EQ(got.findings.escapedMarkup, row.findings.escapedMarkup);
            EXPECT_EQ(got.findings.invisibleCharacters, row.findings.invisibleCharacters);
        }
    }
}

// `text` (code points) in UTF-16 or UTF-32, with the byte order mark when `mark`.
std::string wide(std::u32string_view text, TextEncoding encoding, bool mark = false) {
    const bool big = encoding == TextEncoding::Utf16BE || encoding == TextEncoding::Utf32BE;
    const bool utf32 = encoding == TextEncoding::Utf32LE || encoding == TextEncoding::Utf32BE;
    std::string out;
    const auto put = [&](std::uint32_t unit) {
        const std::size_t width = utf32 ? 4 : 2;
        for (std::size_t k = 0; k < width; ++k) {
            out.push_back(static_cast<char>(unit >> (8 * (big ? width - 1 - k : k))));
        }
    };
    if (mark) {
        put(0xFEFF);
    }
    for (const char32_t c : text) {
        if (!utf32 && c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

std::string utf16le(std::u32string_view text) {
    return wide(text, TextEncoding::Utf16LE);
}

std::string withoutByte(std::string bytes, std::size_t at) {
    return bytes.erase(at, 1);
}

const std::string kTag = "<Section name=\"QQ==\">";
const std::u32string kWideTag = U"<Section name=\"QQ==\">";

InputFindings found(std::string encoding, bool mark, bool quoted, bool escaped,
                    std::size_t invisible) {
    InputFindings findings;
    findings.textEncoding = std::move(encoding);
    findings.byteOrderMark = mark;
    findings.quotedPrintable = quoted;
    findings.escapedMarkup = escaped;
    findings.invisibleCharacters = invisible;
    return findings;
}

InputFindings encoded(std::string name, bool mark = false) {
    return found(std::move(name), mark, false, false, 0);
}

TEST(InputNormalizer, ConvertsWideTextAndLeavesUtf8AsItIs) {
    std::mt19937 rng(7);
    const std::string document = "<?xml version=\"1.0\"?>\n" + testing::sectionLine("A", "text");
    std::string zeroedStart = document + std::string(600, 'x');
    std::fill_n(zeroedStart.begin(), 512, '\0');
    std::string zeroedBlock = std::string(900, 'x') + document;
    std::fill_n(zeroedBlock.begin() + 301, 255, '\0');
    const std::string random = testing::randomBytes(rng, 1500);
    expectRows({
        {"UTF-16LE, marked", wide(kWideTag, TextEncoding::Utf16LE, true), kTag,
         encoded("UTF-16LE", true)},
        {"UTF-16LE", wide(kWideTag, TextEncoding::Utf16LE), kTag, encoded("UTF-16LE")},
        {"UTF-16BE, marked", wide(kWideTag, TextEncoding::Utf16BE, true), kTag,
         encoded("UTF-16BE", true)},
        {"UTF-16BE", wide(kWideTag, TextEncoding::Utf16BE), kTag, encoded("UTF-16BE")},
        {"UTF-32LE, marked", wide(kWideTag, TextEncoding::Utf32LE, true), kTag,
         encoded("UTF-32LE", true)},
        {"UTF-32BE", wide(kWideTag, TextEncoding::Utf32BE), kTag, encoded("UTF-32BE")},
        {"UTF-8 mark", "\xEF\xBB\xBF" + kTag, kTag, encoded("", true)},
        {"beyond ASCII, a pair", utf16le(kWideTag + U"\u00E9\u20AC\U0001F3D4"), kTag + "é€🏔",
         encoded("UTF-16LE")},
        {"unpaired halves become U+FFFD, never Base64",
         utf16le(kWideTag) + "\x00\xD8"
                             "A\x00"
                             "\x00\xDC"
                             "\x00\xD8"s,
         kTag + "\uFFFDA\uFFFD\uFFFD", encoded("UTF-16LE")},
        {"a byte lost, little-endian", withoutByte(utf16le(kWideTag + U"QUJDREVGSEtM"), 43),
         kTag + "\u5551JDREVGSEtM", encoded("UTF-16LE")},
        {"a byte lost, big-endian",
         withoutByte(wide(kWideTag + U"QUJDREVGSEtM", TextEncoding::Utf16BE), 44),
         kTag + "QUJDREVGSEtM", encoded("UTF-16BE")},
        {"a few such characters are what they say", utf16le(kWideTag + U"\u5100\u5200"),
         kTag + "\u5100\u5200", encoded("UTF-16LE")},
        {"a byte too few for a unit", utf16le(U"<abc>") + "Q", "<abc>", encoded("UTF-16LE")},
        {"past U+10FFFF", wide(U"<ab>", TextEncoding::Utf32LE) + "\x00\x00\x11\x00"s, "<ab>\uFFFD",
         encoded("UTF-32LE")},
        {"UTF-16 with a zeroed start", std::string(512, '\0') + utf16le(kWideTag),
         std::string(256, '\0') + kTag, encoded("UTF-16LE")},
        {"trap: UTF-8 with its first 512 bytes zeroed", zeroedStart, zeroedStart, {}},
        {"trap: UTF-8 with a zeroed block", zeroedBlock, zeroedBlock, {}},
        {"trap: UTF-8 padded with zeros",
         document + std::string(700, '\0'),
         document + std::string(700, '\0'),
         {}},
        {"trap: a UTF-16 mark before UTF-8", "\xFF\xFE" + document, "\xFF\xFE" + document, {}},
        {"trap: random bytes", random, random, {}},
        {"nothing", "", "", {}},
        {"too short to tell", "\xFF", "\xFF", {}},
        {"a mark alone", "\xFF\xFE", "", encoded("UTF-16LE", true)},
    });
}

TEST(InputNormalizer, UndoesQuotedPrintableOnlyWhereMailMadeIt) {
    const InputFindings qp = found("", false, true, false, 0);
    const std::string folded = "<?xml version=\"1.0\"?>\n<Section name=\"QQ==\">QUJD\nREVG==\n";
    expectRows({
        {"escapes and soft breaks", "<x v=3D\"1\">QUJD=\r\nRE=\nVG=\rSEk=3D=3d</x>\r\n",
         "<x v=\"1\">QUJDREVGSEk==</x>\r\n", qp},
        {"blanks before a soft break", "<x v=3D\"1\">QU= \t\r\nJD", "<x v=\"1\">QUJD", qp},
        {"bytes beyond ASCII", "<x v=3D'1'>=C3=A9", "<x v='1'>é", qp},
        {"an = that escapes nothing stays",
         "<x v=3D\"1\">QQ==ZZ=4 =G=", "<x v=\"1\">QQ==ZZ=4 =G=", qp},
        {"folded Base64 is no mail encoding", folded, folded, {}},
        {"padding before hex digits is no escape",
         folded + "QQ==ABCD\n",
         folded + "QQ==ABCD\n",
         {}},
    });
}

TEST(InputNormalizer, UnescapesMarkupEscapedAsAWholeOnce) {
    const InputFindings escaped = found("", false, false, true, 0);
    const std::string literal = kTag + "QUJD</Section>&lt;Section&gt;\n";
    expectRows({
        {"a document",
         "&lt;?xml version=&quot;1.0&quot;?&gt;\n&lt;Section name=&quot;QQ==&quot;&gt;",
         "<?xml version=\"1.0\"?>\n<Section name=\"QQ==\">", escaped},
        {"in a web page", "<html><body><pre>&lt;Section name=&apos;QQ==&apos;&gt;</pre>",
         "<html><body><pre><Section name='QQ=='></pre>", escaped},
        {"in a page's own section", "<section class=\"x\"><pre>&lt;Section name=&quot;QQ==",
         "<section class=\"x\"><pre><Section name=\"QQ==", escaped},
        {"a prefix, any case", "&LT;q:SECTION name=&QUOT;QQ==&quot;&Gt;",
         "<q:SECTION name=\"QQ==\">", escaped},
        {"once only", "&lt;Section&gt;&amp;#61;&amp;lt;&&lt;&nbsp;&amp",
         "<Section>&#61;&lt;&<&nbsp;&amp", escaped},
        {"a literal section tag: not escaped as a whole", literal, literal, {}},
        {"no escaped tag", "&lt;p&gt; &lt;", "&lt;p&gt; &lt;", {}},
    });
}

TEST(InputNormalizer, RemovesInvisibleCharactersAndCountsThem) {
    const auto removed = [](std::size_t count) { return found("", false, false, false, count); };
    expectRows({
        {"each kind", "QU\u200BJ\uFEFFD\u00A0RE\u00ADVG\u2060", "QUJDREVG", removed(5)},
        {"other characters stay", "é\u200C\xC2\xC2\xA0\xE2\xE2\x80\x8B\xE2\x80",
         "é\u200C\xC2\xE2\xE2\x80", removed(2)},
        {"after conversion", utf16le(U"<a>QU\u200BJD"), "<a>QUJD",
         found("UTF-16LE", false, false, false, 1)},
    });
}

// Past the window the decision is made on, sequences still straddle chunks.
TEST(InputNormalizer, StreamsPastTheWindow) {
    std::u32string text = U"<?xml version=\"1.0\"?>\n" + kWideTag;
    while (text.size() < InputNormalizer::kWindow) {
        text += U"QUJD\u200B\U0001F3D4\n";
    }
    std::string expected;
    for (const char32_t c : text) {
        expected += c == U'\u200B' ? "" : c == U'\U0001F3D4' ? "🏔" : std::string(1, char(c));
    }
    const std::string input = utf16le(text);
    std::size_t boundFailures = 0;
    for (std::size_t at = InputNormalizer::kWindow - 16; at < InputNormalizer::kWindow + 16; ++at) {
        ASSERT_EQ(normalize(input, {at}, boundFailures).text, expected) << at;
        ASSERT_EQ(normalize(input, {at - 7, at, at + 3}, boundFailures).text, expected) << at;
    }
    EXPECT_EQ(boundFailures, 0u);
}

// Past the window, a chunk of ASCII goes to the reading as it is; the ones around it do not,
// and an invisible character may be cut in two by a chunk's end.
TEST(InputNormalizer, ReadsChunksThatPassUnchangedAndOnesThatDoNot) {
    std::string clean = "<?xml version=\"1.0\"?>\n";
    std::string marked = clean;
    std::set<std::size_t> cuts;
    for (std::size_t k = 0; clean.size() < 3 * InputNormalizer::kWindow; ++k) {
        const std::string line =
            testing::sectionLine("S" + std::to_string(k), std::string(90, 'x'));
        clean += line;
        if (k % 50 == 0) {
            cuts.insert(marked.size() + 40 + 1 + k % 2);  // inside the character
            marked += line.substr(0, 40) + "\u200B" + line.substr(40);
        } else {
            marked += line;
        }
        cuts.insert(marked.size() - 7);
    }
    cuts.insert(marked.size());
    const ParseResult expected = parseText(clean, "a.qlx", Reading::Thorough);
    DocumentReader reader(Reading::Thorough);
    reader.expectSize(marked.size());
    std::size_t from = 0;
    for (const std::size_t to : cuts) {
        reader.feed(std::string_view(marked).substr(from, to - from));
        from = to;
    }
    const ParseResult got = reader.finish("a.qlx");
    ASSERT_EQ(got.document.contents.size(), expected.document.contents.size());
    for (std::size_t k = 0; k < expected.document.contents.size(); ++k) {
        ASSERT_EQ(got.document.contents[k].text, expected.document.contents[k].text) << k;
    }
    const auto invisible =
        static_cast<std::size_t>(std::count(marked.begin(), marked.end(), '\x8B'));
    EXPECT_EQ(got.document.report.thorough->input.invisibleCharacters, invisible);
    EXPECT_NE(describeReport(got.document.report, got.document.contents)
                  .find("Invisible characters skipped inside Base64: " + std::to_string(invisible)),
              std::string::npos);
}

// The sample letter in the forms editors and mail give it reads to the same sections.
TEST(InputNormalizer, TheSampleReadsTheSameInEveryForm) {
    const std::string sample = testing::readFile(QLV_SAMPLES_DIR "/damaged-letter.qlx");
    ASSERT_FALSE(sample.empty());
    // Wide forms can only hold characters: its damaged bytes become U+FFFD in them, so they are
    // compared with the letter holding U+FFFD in UTF-8.
    std::u32string characters;
    std::string repaired;
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const auto byte = static_cast<unsigned char>(sample[i]);
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        std::string_view sequence = std::string_view(sample).substr(i, length);
        if (length == 1 || !isValidUtf8(sequence)) {
            characters += byte < 0x80 ? char32_t(byte) : U'\uFFFD';
            repaired += byte < 0x80 ? std::string(1, char(byte)) : "\uFFFD";
            continue;
        }
        char32_t c = byte & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            c = c << 6 | (static_cast<unsigned char>(sequence[k]) & 0x3F);
        }
        characters += c;
        repaired += sequence;
        i += length - 1;
    }
    std::string quoted;
    std::string escaped = "<html><body><pre>";
    std::size_t column = 0;
    for (const char c : sample) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            quoted += "\r\n";
            column = 0;
            continue;
        }
        if (column >= 72) {
            quoted += "=\r\n";  // a soft break, as mail folds long lines
            column = 0;
        }
        char escape[4];
        std::snprintf(escape, sizeof escape, "=%02X", byte);
        const bool plain = byte >= 0x20 && byte < 0x7F && c != '=';
        quoted += plain ? std::string(1, c) : escape;
        column += plain ? 1 : 3;
        escaped += c == '<'   ? "&lt;"
                   : c == '>' ? "&gt;"
                   : c == '&' ? "&amp;"
                   : c == '"' ? "&quot;"
                              : std::string(1, c);
    }
    struct Form {
        const char* label;
        std::string bytes;
        const std::string& original;
        const char* reportLine;  // what the report says of it
    };
    const std::vector<Form> forms = {
        {"UTF-16LE", wide(characters, TextEncoding::Utf16LE), repaired,
         "Converted from UTF-16LE before reading\n"},
        {"UTF-16LE, marked", wide(characters, TextEncoding::Utf16LE, true), repaired,
         "Converted from UTF-16LE before reading (it began with a byte order mark)\n"},
        {"UTF-16BE", wide(characters, TextEncoding::Utf16BE), repaired,
         "Converted from UTF-16BE before reading\n"},
        {"UTF-16BE, marked", wide(characters, TextEncoding::Utf16BE, true), repaired,
         "Converted from UTF-16BE before reading (it began"},
        {"UTF-32LE, marked", wide(characters, TextEncoding::Utf32LE, true), repaired,
         "Converted from UTF-32LE before reading (it began"},
        {"UTF-32BE", wide(characters, TextEncoding::Utf32BE), repaired,
         "Converted from UTF-32BE before reading\n"},
        {"UTF-8, marked", "\xEF\xBB\xBF" + sample, sample,
         "A UTF-8 byte order mark at the start skipped\n"},
        {"quoted-printable", quoted, sample, "Quoted-printable undone before reading\n"},
        {"escaped in a page", escaped + "</pre></body></html>", sample,
         "Markup escaped as a whole (&lt;Section ...): read unescaped\n"},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.label);
        const ParseResult expected = parseText(form.original, "a.qlx", Reading::Thorough);
        const ParseResult got = parseText(form.bytes, "a.qlx", Reading::Thorough);
        ASSERT_TRUE(got.accepted());
        ASSERT_EQ(got.document.contents.size(), expected.document.contents.size());
        for (std::size_t k = 0; k < expected.document.contents.size(); ++k) {
            EXPECT_EQ(got.document.contents[k].name, expected.document.contents[k].name);
            EXPECT_EQ(got.document.contents[k].text, expected.document.contents[k].text);
        }
        const std::string report = describeReport(got.document.report, got.document.contents);
        EXPECT_NE(report.find(form.reportLine), std::string::npos) << report;
        EXPECT_EQ(describeReport(expected.document.report, expected.document.contents)
                      .find("before reading"),
                  std::string::npos);
    }
    // The plain reading is as it was: it does not read UTF-16.
    EXPECT_EQ(parseText(forms[0].bytes, "a.qlx").status, ReadStatus::Refused);
}

}  // namespace
}  // namespace salvage::detail
