#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "salvage/export.h"
#include "salvage/reader.h"
#include "salvage/report_text.h"
#include "salvage/utf8.h"
#include "test_support.h"

namespace salvage {
namespace {

using namespace std::literals;
using testing::encodeBase64;
using Sections = std::vector<std::pair<std::string, std::string>>;

const std::string kHeader = "<?xml version=\"1.0\"?>\n<QuilloraDocument>\n";
// Long enough for realigning, which trusts a run of 24 bytes of text.
const std::string kProse =
    "It was late when the train left Zürich; the café by the station had closed, and the "
    "rain went on and on over the roofs.";
const std::string kOther = "A second text, with its own words — and a few more of them to read.";

std::string startTag(std::string_view name) {
    return "<Section name=\"" + encodeBase64(name) + "\" style=\"body\">";
}

std::string sectionLine(std::string_view name, std::string_view text) {
    return startTag(name) + encodeBase64(text) + "</Section>\n";
}

ParseResult readThoroughly(std::string_view document) {
    return parseText(document, "doc.qlx", Reading::Thorough);
}

Sections sectionsOf(const ParseResult& result) {
    Sections sections;
    for (const Section& section : result.document.contents) {
        sections.emplace_back(section.name, section.text);
    }
    return sections;
}

const SalvageReport::ThoroughFindings& findingsOf(const ParseResult& result) {
    return *result.document.report.thorough;
}

struct SectionsCase {
    const char* label;
    std::string document;
    Sections expected;
};

void expectSections(const std::vector<SectionsCase>& cases) {
    for (const SectionsCase& c : cases) {
        SCOPED_TRACE(c.label);
        const ParseResult result = readThoroughly(c.document);
        ASSERT_TRUE(result.accepted());
        EXPECT_EQ(sectionsOf(result), c.expected);
    }
}

// `bytes` bytes of `words` said again and again.
std::string repeated(std::string_view words, std::size_t bytes) {
    std::string out;
    while (out.size() < bytes) {
        out += words;
    }
    return out.substr(0, bytes);
}

std::string wrapped(std::string_view base64, std::size_t columns, std::string_view lineBreak) {
    std::string out;
    for (std::size_t at = 0; at < base64.size(); at += columns) {
        out += std::string(base64.substr(at, columns)) + std::string(lineBreak);
    }
    return out;
}

TEST(ThoroughReadingTest, ASectionsTextRunsAcrossLinesToTheNextTag) {
    const std::string body = encodeBase64(kProse);
    expectSections({
        {"wrapped at 76 columns, end tag on its own line",
         kHeader + startTag("Wrapped") + "\n" + wrapped(body, 76, "\n") + "</Section>\n",
         {{"Wrapped", kProse}}},
        {"CR LF and blanks inside the Base64",
         kHeader + startTag("Blanks") + wrapped(body, 10, " \r\n\t ") + "</Section>\n",
         {{"Blanks", kProse}}},
        {"ended by the next start tag",
         kHeader + startTag("First") + body + "\n" + sectionLine("Second", kOther),
         {{"First", kProse}, {"Second", kOther}}},
        {"ended by the end of the file",
         kHeader + startTag("Cut") + "\n" + wrapped(body, 76, "\n"),
         {{"Cut", kProse}}},
        {"a start tag alone has the empty text",
         kHeader + startTag("Empty") + "</Section>\n",
         {{"Empty", ""}}},
    });
}

TEST(ThoroughReadingTest, ASectionTagCountsWhereverItStands) {
    const std::string one = sectionLine("One", kProse);
    expectSections({
        {"indented", kHeader + "  \t" + one, {{"One", kProse}}},
        {"after other text", kHeader + "<Doc><Properties/>" + one, {{"One", kProse}}},
        {"after a lost line break",
         kHeader + sectionLine("Two", kOther) + one,
         {{"Two", kOther}, {"One", kProse}}},
        {"any letter case",
         kHeader + "<sEcTiOn NAME=\"" + encodeBase64("Case") + "\">" + encodeBase64(kOther) +
             "</SECTION>\n",
         {{"Case", kOther}}},
        {"a line break inside the tag",
         kHeader + "<Sec\n  tion\nname=\"" + encodeBase64("Broken") + "\">" + encodeBase64(kOther) +
             "</Sec\r\ntion>\n",
         {{"Broken", kOther}}},
    });
}

TEST(ThoroughReadingTest, SectionTagsAreReadInEverySpellingWritersUse) {
    struct Case {
        const char* label;
        std::string document;
        std::size_t references;
        std::size_t otherSpellings;
        std::size_t prefixed;
        std::size_t cdata;
    };
    const std::string name = encodeBase64("Notes");  // "Tm90ZXM="
    const std::string text = encodeBase64(kOther);
    const auto line = [&](std::string_view tag, std::string_view end = "</Section>") {
        return kHeader + std::string(tag) + text + std::string(end) + "\n";
    };
    const std::vector<Case> cases = {
        {"blanks around =", line("<Section name = \"" + name + "\">"), 0, 1, 0, 0},
        {"single quotes", line("<Section name='" + name + "'>"), 0, 1, 0, 0},
        {"other attributes first", line("<Section id=\"4\" style=\"body\" name=\"" + name + "\">"),
         0, 1, 0, 0},
        {"an attribute that ends in name",
         line("<Section filename=\"x.txt\" name=\"" + name + "\">"), 0, 1, 0, 0},
        {"a namespace prefix", line("<q:Section name=\"" + name + "\">", "</q:Section>"), 0, 0, 1,
         0},
        {"a decimal reference", line("<Section name=\"Tm90ZXM&#61;\">"), 1, 0, 0, 0},
        {"a hexadecimal reference", line("<Section name=\"Tm90ZXM&#x3D;\">"), 1, 0, 0, 0},
        {"a text in CDATA",
         kHeader + "<Section name=\"" + name + "\"><![CDATA[" + text + "]]></Section>\n", 0, 0, 0,
         1},
        {"CDATA across lines",
         kHeader + "<Section name=\"" + name + "\">\n<![CDATA[\n" + wrapped(text, 20, "\n") +
             "]]>\n</Section>\n",
         0, 0, 0, 1},
        {"the quote lost", line("<Section name=" + name + "\">"), 0, 0, 0, 0},
        {"the quote damaged", line("<Section name=#" + name + "\">"), 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ParseResult result = readThoroughly(c.document);
        EXPECT_EQ(sectionsOf(result), (Sections{{"Notes", kOther}}));
        const auto& found = findingsOf(result);
        EXPECT_EQ(found.nameReferences, c.references);
        EXPECT_EQ(found.otherNameSpellings, c.otherSpellings);
        EXPECT_EQ(found.prefixedTags, c.prefixed);
        EXPECT_EQ(found.cdataTexts, c.cdata);
    }
    const ParseResult prefixed = readThoroughly(cases[4].document);
    EXPECT_NE(describeReport(prefixed.document.report, prefixed.document.contents)
                  .find("\nSection tags with a namespace prefix: 1\n"),
              std::string::npos);
}

TEST(ThoroughReadingTest, ADamagedFirstLineIsReadWhenSectionTagsFollow) {
    struct Case {
        const char* label;
        std::string document;
        bool accepted;
        bool headerDamaged;
    };
    const std::string one = sectionLine("One", kOther);
    const std::vector<Case> cases = {
        {"zeroed first block", std::string(40, '\0') + "\n" + one, true, true},
        {"header cut by a bit flip", "<?xmm version=\"1.0\"?>\n" + one, true, true},
        {"a section tag and nothing else", one, true, true},
        {"header only", "<?xml ", true, false},
        {"header and no sections", kHeader, true, false},
        {"neither header nor section tag", "Dear diary,\n" + encodeBase64(kProse) + "\n", false,
         false},
        {"a tag that only looks like a section tag", "x\n<Section>" + encodeBase64(kProse), false,
         false},
        {"empty file", "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ParseResult result = readThoroughly(c.document);
        EXPECT_EQ(result.accepted(), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(findingsOf(result).headerDamaged, c.headerDamaged);
        }
    }
}

// Text of 60 ASCII bytes: each group of four Base64 characters holds three of them.
const std::string kSixty = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01234567";

std::string withCharacter(std::string base64, std::size_t at, char c) {
    base64[at] = c;
    return base64;
}

TEST(ThoroughReadingTest, ACharacterOutsideTheAlphabetCostsOnlyItsGroup) {
    const std::string body = encodeBase64(kSixty);
    const std::string lessGroup2 = kSixty.substr(0, 6) + kSixty.substr(9);
    expectSections({
        {"a star",
         kHeader + startTag("S") + withCharacter(body, 9, '*') + "</Section>",
         {{"S", lessGroup2}}},
        {"a zero byte",
         kHeader + startTag("S") + withCharacter(body, 8, '\0') + "</Section>",
         {{"S", lessGroup2}}},
        {"the group's first byte stands before it",
         kHeader + startTag("S") + withCharacter(body, 10, '*') + "</Section>",
         {{"S", kSixty.substr(0, 7) + kSixty.substr(9)}}},
        {"padding in the middle",
         kHeader + startTag("S") + withCharacter(body, 9, '=') + "</Section>",
         {{"S", lessGroup2}}},
        {"padding at the end",
         kHeader + startTag("S") + encodeBase64("ab") + encodeBase64("cd") + "</Section>",
         {{"S", "abcd"}}},
        {"a last group cut short",
         kHeader + startTag("S") + body.substr(0, 78) + "</Section>",
         {{"S", kSixty.substr(0, 58)}}},
    });
    const ParseResult result =
        readThoroughly(kHeader + startTag("S") + withCharacter(body, 9, '*') + "</Section>");
    EXPECT_EQ(findingsOf(result).groupsDropped, 1u);
    EXPECT_EQ(findingsOf(result).realignments, 0u);
}

// What the plain reading gets from a section line, the thorough reading gets too: a character
// outside the alphabet is taken as inserted wherever the text goes on after it.
TEST(ThoroughReadingTest, ACharacterOutsideTheAlphabetIsFirstTakenAsInserted) {
    struct Case {
        const char* label;
        std::string body;
        std::size_t skipped;
        std::string text = kProse;
    };
    const std::string body = encodeBase64(kProse);
    const auto inserted = [&](std::size_t at, std::string_view what) {
        return body.substr(0, at) + std::string(what) + body.substr(at);
    };
    const std::vector<Case> cases = {
        {"a star", inserted(41, "*"), 1},
        {"a replacement character", inserted(42, "\xEF\xBF\xBD"), 3},
        {"a zero byte", inserted(43, "\0"s), 1},
        {"a lone 0xA0", inserted(44, "\xA0"), 1},
        {"junk", inserted(57, "<>&#;%"), 6},
        {"one in every group",
         [&] {
             std::string out;
             for (std::size_t at = 0; at < body.size(); at += 4) {
                 out += body.substr(at, 4) + "!";
             }
             return out;
         }(),
         body.size() / 4},
        {"padding between two texts", encodeBase64("ab") + encodeBase64(kProse), 0, "ab" + kProse},
        {"padding alone between groups", inserted(40, "="), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string document = kHeader + startTag("S") + c.body + "</Section>\n";
        const ParseResult thorough = readThoroughly(document);
        ASSERT_TRUE(thorough.accepted());
        EXPECT_EQ(sectionsOf(thorough), (Sections{{"S", c.text}}));
        EXPECT_EQ(findingsOf(thorough).charactersSkipped, c.skipped);
        EXPECT_EQ(findingsOf(thorough).groupsDropped, 0u);
    }
    // The bundled sample's greeting: a replacement character stands in the Base64.
    const ParseResult greeting = readThoroughly(
        kHeader +
        "<Section name=\"R3JlZXRpbmc=\" style=\"body\">RGVhciBHcmFu\xEF\xBF\xBDZG1vdGhlciBJ"
        "bmdyaWQs</Section>\n");
    EXPECT_EQ(sectionsOf(greeting), (Sections{{"Greeting", "Dear Grandmother Ingrid,"}}));
}

// Random section lines with random characters outside the alphabet put in: wherever the plain
// reading gets text, the thorough one gets the same.
TEST(ThoroughReadingTest, NeverLessThanThePlainReading) {
    const std::vector<std::string> texts = {kProse,
                                            kOther,
                                            "Привет, как дела? Всё хорошо.",
                                            "東京は雪です。今日は寒い。",
                                            "Emoji 🍏🌙 and more 🏔 text",
                                            "",
                                            "x"};
    const std::string junk = "!*.-_~%&#;\x00\xA0\xFF\x80\t =";
    std::mt19937 random(20261209);
    for (int round = 0; round < 200; ++round) {
        std::string document = kHeader;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            std::string body = encodeBase64(texts[random() % texts.size()]);
            for (std::size_t k = random() % 4; k > 0 && !body.empty(); --k) {
                body.insert(random() % body.size(), 1, junk[random() % junk.size()]);
            }
            document += startTag("N" + std::to_string(i)) + body + "</Section>\n";
        }
        SCOPED_TRACE(document);
        const ParseResult plain = parseText(document, "doc.qlx");
        const ParseResult thorough = readThoroughly(document);
        ASSERT_EQ(plain.document.contents.size(), thorough.document.contents.size());
        for (std::size_t i = 0; i < plain.document.contents.size(); ++i) {
            const Section section = plain.document.contents[i];
            if (isValidUtf8(section.text)) {
                EXPECT_EQ(thorough.document.contents.find(section.name), section.text);
            }
        }
    }
}

TEST(ThoroughReadingTest, TheGroupsAreFoundAgainAfterCharactersAreLostOrInserted) {
    struct Case {
        const char* label;
        std::size_t at;     // where in the Base64
        std::size_t lost;   // characters taken out there
        std::string added;  // characters put in there
        std::size_t realignments;
    };
    const std::vector<Case> cases = {
        {"one character inserted", 41, 0, "Q", 1},
        {"two characters inserted", 41, 0, "QU", 1},
        {"three characters inserted", 41, 0, "QUJ", 1},
        {"four characters inserted keep the groups", 40, 0, "////", 0},
        {"one character lost", 41, 1, "", 1},
        {"two characters lost", 41, 2, "", 1},
        {"three characters lost", 41, 3, "", 1},
    };
    const std::string body = encodeBase64(kProse);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string damaged = body;
        damaged.replace(c.at, c.lost, c.added);
        const ParseResult result = readThoroughly(kHeader + startTag("P") + damaged + "</Section>");
        ASSERT_EQ(result.document.contents.size(), 1u);
        const std::string_view text = result.document.contents[0].text;
        // What comes back is the text with one short gap where the damage was, never garbage.
        std::size_t head = 0;
        while (head < text.size() && text[head] == kProse[head]) {
            ++head;
        }
        std::size_t tail = 0;
        while (tail < text.size() - head &&
               text[text.size() - 1 - tail] == kProse[kProse.size() - 1 - tail]) {
            ++tail;
        }
        EXPECT_EQ(head + tail, text.size()) << text;
        EXPECT_LE(kProse.size() - text.size(), 15u) << text;
        EXPECT_EQ(findingsOf(result).realignments, c.realignments);
    }
}

TEST(ThoroughReadingTest, BytesThatAreNotTextAreDroppedAndCounted) {
    struct Case {
        const char* label;
        std::string bytes;  // put in place of bytes 30 to 32 of the text
    };
    const std::vector<Case> cases = {
        {"a control character", "\x01xy"},       {"a byte that is never UTF-8", "x\xFFy"},
        {"a continuation byte alone", "xy\x80"}, {"a C1 control character", "\xC2\x85y"},
        {"a surrogate", "\xED\xA0\x80"},         {"a zero byte", "x\0y"s},
    };
    const std::string prose(kProse.substr(0, 90));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string text = prose;
        text.replace(30, 3, c.bytes);
        const ParseResult result =
            readThoroughly(kHeader + startTag("T") + encodeBase64(text) + "</Section>");
        ASSERT_EQ(result.document.contents.size(), 1u);
        EXPECT_EQ(result.document.contents[0].text, prose.substr(0, 30) + prose.substr(33));
        EXPECT_EQ(findingsOf(result).bytesDropped, 3u);
    }
    // Where no way of cutting the groups gives text, nothing is written.
    const ParseResult noise =
        readThoroughly(kHeader + startTag("Noise") +
                       encodeBase64("\x01\x02\x03\xFE\xFF\x80\x81\x1B"s) + "</Section>");
    EXPECT_EQ(sectionsOf(noise), (Sections{{"Noise", ""}}));
    // Random bytes written over a body: the few of them in the alphabet, between the others,
    // make bytes now and then that are text by chance. Of those, no more is written than a few
    // groups' worth next to the text on either side.
    std::mt19937 random(20261210);
    for (int round = 0; round < 20; ++round) {
        std::string junk(1500, ' ');
        for (char& c : junk) {
            do {
                c = static_cast<char>(random() % 256);
            } while (c == '<');
        }
        SCOPED_TRACE(round);
        const ParseResult result = readThoroughly(kHeader + startTag("R") + encodeBase64(kProse) +
                                                  junk + encodeBase64(kOther) + "</Section>\n");
        const auto written = [](std::string_view part) {
            return kProse.find(part) != std::string::npos || kOther.find(part) != std::string::npos;
        };
        std::size_t neverThere = 0;
        for (const auto& [name, text] : sectionsOf(result)) {
            // Between the longest start and the longest end that were written.
            std::size_t head = text.size();
            while (!written(std::string_view(text).substr(0, head))) {
                --head;
            }
            std::size_t tail = text.size() - head;
            while (!written(std::string_view(text).substr(text.size() - tail))) {
                --tail;
            }
            neverThere += text.size() - head - tail;
        }
        EXPECT_LE(neverThere, 9u);
    }
}

TEST(ThoroughReadingTest, TextWithoutItsSectionIsKeptAsAPieceOfItsOwn) {
    const std::string body = encodeBase64(kProse);
    struct Case {
        const char* label;
        std::string document;
        Sections expected;
        std::vector<bool> afterDamage;  // per piece the report lists
    };
    const std::vector<Case> cases = {
        {"Base64 whose start tag was lost",
         kHeader + body + "</Section>\n",
         {{"[text without a section, line 3]", kProse}},
         {false}},
        {"after an end tag",
         kHeader + sectionLine("One", kOther) + body + "\n",
         {{"One", kOther}, {"[text without a section, line 4]", kProse}},
         {false}},
        {"after a long damaged stretch",
         kHeader + startTag("Long") + encodeBase64(kOther) + std::string(200, '\0') + "\n" + body +
             "</Section>\n",
         {{"Long", kOther}, {"Long [after damage, line 4]", kProse}},
         {true}},
        {"a long damaged stretch in a tag's name",
         kHeader + "<Section name=\"" + encodeBase64("Letter").substr(0, 6) +
             std::string(200, '\0') + body + "</Section>\n",
         {{"Lett", ""}, {"Lett [after damage, line 3]", kProse}},
         {true}},
        {"a short damaged stretch keeps the section whole",
         kHeader + startTag("Short") + encodeBase64(kSixty) + std::string(8, '\0') +
             encodeBase64(kSixty) + "</Section>\n",
         {{"Short", kSixty + kSixty}},
         {}},
        {"element text too short to be Base64 is no piece",
         kHeader + "<Author>Zo&#235; Anna</Author>\n" + sectionLine("One", kOther),
         {{"One", kOther}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ParseResult result = readThoroughly(c.document);
        EXPECT_EQ(sectionsOf(result), c.expected);
        const auto& pieces = findingsOf(result).pieces;
        ASSERT_EQ(pieces.size(), c.afterDamage.size());
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(pieces[i].afterDamage, c.afterDamage[i]);
            EXPECT_TRUE(result.document.contents.contains(pieces[i].name));
        }
    }
}

// Another file's cluster written into a body, in step with its groups and cut between
// characters, decodes as well as the body itself: only the widths of the lines around it show
// where it begins and ends.
TEST(ThoroughReadingTest, AnotherFilesLinesInABodyArePartedOffByTheirWidth) {
    const std::string own = repeated("The letter she kept in the drawer. ", 660);  // 880 characters
    const std::string rest = repeated("More of her own letter follows here. ", 120);
    const std::string other = repeated("Somebody else's shopping list: eggs, milk. ", 378);  // 504
    const std::string ownB64 = encodeBase64(own);
    const std::string otherB64 = encodeBase64(other);
    // The header and a line of blanks long enough that `used` more bytes end on a sector
    // boundary (or `past` bytes after one).
    const auto headerFor = [](std::size_t used, std::size_t past = 0) {
        const std::size_t fixed = kHeader.size() + std::string("<Author></Author>\n").size();
        std::size_t blanks = 0;
        while ((fixed + blanks + used) % 512 != past) {
            ++blanks;
        }
        return kHeader + "<Author>" + std::string(blanks, ' ') + "</Author>\n";
    };
    const std::string tag = startTag("Own");
    // The other file's lines, 64 wide, from 40 characters before the first line break.
    const std::string otherLines =
        otherB64.substr(0, 40) + "\n" + wrapped(otherB64.substr(40), 64, "\n");
    // The same, up to a sector boundary 16 characters into their eighth line, where the body's
    // own long line goes on.
    const std::string otherCluster = otherB64.substr(0, 40) + "\n" +
                                     wrapped(otherB64.substr(40, 448), 64, "\n") +
                                     otherB64.substr(488);
    const std::string wrappedOwn = tag + ownB64.substr(0, 64) + "\n" +
                                   wrapped(ownB64.substr(64, 768), 64, "\n") + ownB64.substr(832);
    expectSections({
        {"lines of one width from a sector boundary near the long line's end",
         headerFor(tag.size() + ownB64.size()) + tag + ownB64 + otherLines + "</Section>\n",
         {{"Own", own}, {"Own [after damage, line 4]", other}}},
        {"from the line break when no boundary is near it",
         headerFor(tag.size() + ownB64.size(), 300) + tag + ownB64 + "\n" +
             wrapped(otherB64, 64, "\n") + "</Section>\n",
         {{"Own", own}, {"Own [after damage, line 5]", other}}},
        {"the long line comes back at the next sector boundary",
         headerFor(tag.size() + ownB64.size()) + tag + ownB64 + otherCluster + encodeBase64(rest) +
             "</Section>\n",
         {{"Own", own},
          {"Own [after damage, line 4]", other},
          {"Own [after damage, line 12]", rest}}},
        {"a far longer line after a wrapped body",
         headerFor(wrappedOwn.size()) + wrappedOwn +
             encodeBase64(rest + rest + rest + rest + rest) + "</Section>\n",
         {{"Own", own}, {"Own [after damage, line 17]", rest + rest + rest + rest + rest}}},
        {"... beginning with the end of the other file's tag",
         headerFor(wrappedOwn.size()) + wrappedOwn + "\">" +
             encodeBase64(rest + rest + rest + rest + rest) + "</Section>\n",
         {{"Own", own}, {"Own [after damage, line 17]", rest + rest + rest + rest + rest}}},
        {"a wrapped body whose first line breaks were lost stays whole",
         headerFor(tag.size() + 192) + tag + ownB64.substr(0, 192) + "\n" +
             wrapped(ownB64.substr(192), 64, "\n") + "</Section>\n",
         {{"Own", own}}},
        {"a zeroed block in a line is no other file's lines",
         headerFor(tag.size() + 400 + 5) + tag + ownB64.substr(0, 64) + "\n" +
             wrapped(ownB64.substr(64, 320), 64, "\n") + ownB64.substr(384, 16) +
             std::string(1024, '\0') + ownB64.substr(400) + "</Section>\n",
         {{"Own", own.substr(0, 300)}, {"Own [after damage, line 10]", own.substr(300)}}},
        {"lines of other widths after a long line stay with it",
         headerFor(tag.size() + 600) + tag + ownB64.substr(0, 600) + "\n" + ownB64.substr(600, 64) +
             "\n" + ownB64.substr(664, 70) + "\n" + ownB64.substr(734) + "\n</Section>\n",
         {{"Own", own}}},
    });
}

// Another file's cluster may begin or end in step with a body's groups and decode to text; its
// other end, a cluster from a seam the decoder does see, shows by a change of script.
TEST(ThoroughReadingTest, AnotherFilesClusterIsPartedOffAtItsOtherEnd) {
    const std::string own = repeated("The letter she kept in the drawer. ", 6000);
    const std::string other = repeated("Письмо, которое она хранила в ящике. ", 6000);
    const std::string otherLatin = repeated("Somebody else's shopping list: eggs, milk. ", 6000);
    const std::string ownB64 = encodeBase64(own);
    const std::string otherB64 = encodeBase64(other);
    constexpr std::size_t kCluster = 4096;
    // The header, with blanks enough that `used` more bytes end on a cluster boundary.
    const auto headerFor = [](std::size_t used) {
        const std::size_t fixed = kHeader.size() + std::string("<Author></Author>\n").size();
        return kHeader + "<Author>" + std::string((kCluster - (fixed + used) % kCluster), ' ') +
               "</Author>\n";
    };
    const std::string tag = startTag("Own");
    // 1024 characters of the body before the cluster boundary: 768 bytes of text.
    const std::string before = headerFor(tag.size() + 1024) + tag + ownB64.substr(0, 1024);
    // The other file's cluster in step, then the body's own text coming back two characters
    // short, which the decoder sees.
    const auto inStepThenShort = [&](std::string_view otherBase64) {
        return before + std::string(otherBase64.substr(0, kCluster)) +
               ownB64.substr(1024 + kCluster + 2, 2000) + "</Section>\n";
    };
    // The other file's cluster out of step, which the decoder sees, holding the end of one of
    // its sections and the start of the next; the body's text goes on in step in that one.
    const std::string ideasTag = "</Section>\n" + startTag("Ideas");
    const std::size_t inIdeas = 1992;  // of the other file's next section: whole characters
    const std::size_t firstPart = kCluster - ideasTag.size() - inIdeas;
    const std::string outOfStepThenInStep = before + otherB64.substr(2, firstPart) + ideasTag +
                                            otherB64.substr(0, inIdeas) +
                                            ownB64.substr(1024 + kCluster, 2000) + "</Section>\n";

    // What each output section must be: of `size` bytes, all found in `from`.
    struct Part {
        std::string name;
        std::string_view from;
        std::size_t size;
    };
    struct Case {
        const char* label;
        std::string document;
        std::vector<Part> expected;
    };
    const std::string mixedLatin = own.substr(0, 768) + otherLatin.substr(0, 3072);
    const std::string mixedInStep =
        own.substr(0, 768) + other.substr(0, 3072) + own.substr(3840, 1500);
    const std::vector<Case> cases = {
        {"a cluster back from a seam where the body comes back",
         inStepThenShort(otherB64),
         {{"Own", own, 768},
          {"Own [after damage, line 4]", other, 3072},
          {"Own [after damage, line 4] (2)", own, 1495}}},
        {"a cluster on from a seam where the other file began",
         outOfStepThenInStep,
         {{"Own", own, 765},
          {"Own [after damage, line 4]", other, 1536},
          {"Ideas", other, 1494},
          {"Ideas [after damage, line 5]", own, 1500}}},
        {"no cut where the script goes on",
         inStepThenShort(encodeBase64(otherLatin)),
         {{"Own", mixedLatin, mixedLatin.size()}, {"Own [after damage, line 4]", own, 1495}}},
        {"no cut without a seam",
         before + otherB64.substr(0, kCluster) + ownB64.substr(1024 + kCluster, 2000) +
             "</Section>\n",
         {{"Own", mixedInStep, mixedInStep.size()}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Sections sections = sectionsOf(readThoroughly(c.document));
        EXPECT_EQ(sections.size(), c.expected.size());
        for (std::size_t i = 0; i < std::min(sections.size(), c.expected.size()); ++i) {
            EXPECT_EQ(sections[i].first, c.expected[i].name);
            EXPECT_EQ(sections[i].second.size(), c.expected[i].size) << sections[i].first;
            EXPECT_NE(c.expected[i].from.find(sections[i].second), std::string_view::npos)
                << sections[i].first;
        }
    }
}

// A block of zeros (a sector wiped, or written over) takes the place of characters: the groups
// on its two sides do not belong together. Before it, the section keeps every whole character its
// characters alone make up; after it, a piece starts at the first whole character the characters
// after it alone make up, wherever in a group the block begins, and nothing else is written.
TEST(ThoroughReadingTest, AZeroedBlockPartsTheTextWithoutInventingAny) {
    std::string text;
    while (text.size() < 900) {
        text += "Привет, как дела? 東京は雪です。 A line of ASCII, too. ";
    }
    const std::string body = encodeBase64(text);
    const auto characterStart = [&](std::size_t at) {
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
            ++at;
        }
        return at;
    };
    const auto characterEnd = [&](std::size_t end) {
        std::size_t start = end;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        return start;  // the last character begun before `end` may not end by it
    };
    for (std::size_t at = 400; at < 408; ++at) {
        for (const std::size_t length : {std::size_t{512}, std::size_t{515}}) {
            SCOPED_TRACE("zeros at " + std::to_string(at) + ", " + std::to_string(length));
            std::string damaged = body;
            damaged.replace(at, length, length, '\0');
            const ParseResult result =
                readThoroughly(kHeader + startTag("Z") + damaged + "</Section>\n");
            ASSERT_EQ(result.document.contents.size(), 2u);
            // Byte i of a group is made of its characters i and i + 1.
            const std::size_t before = at / 4 * 3 + (at % 4 == 0 ? 0 : at % 4 - 1);
            const std::size_t end = at + length;
            const std::size_t after = end / 4 * 3 + end % 4;
            EXPECT_EQ(result.document.contents[0].text,
                      text.substr(0, characterEnd(std::min(before, text.size()))));
            if (end % 4 == 0) {
                EXPECT_EQ(result.document.contents[1].text, text.substr(characterStart(after)));
            } else {
                // Out of step after it: the groups are found again a little later.
                const std::string_view piece = result.document.contents[1].text;
                EXPECT_TRUE(std::string_view(text).ends_with(piece));
                EXPECT_GT(piece.size(), text.size() - after - 48);
            }
        }
    }
}

TEST(ThoroughReadingTest, ARepeatedNameKeepsEveryText) {
    expectSections({
        {"twice",
         kHeader + sectionLine("A", "one") + sectionLine("A", "two"),
         {{"A", "one"}, {"A (2)", "two"}}},
        {"three times",
         kHeader + sectionLine("A", "1") + sectionLine("B", "b") + sectionLine("A", "2") +
             sectionLine("A", "3"),
         {{"A", "1"}, {"B", "b"}, {"A (2)", "2"}, {"A (3)", "3"}}},
        {"a number already taken is skipped",
         kHeader + sectionLine("A (2)", "x") + sectionLine("A", "1") + sectionLine("A", "2"),
         {{"A (2)", "x"}, {"A", "1"}, {"A (3)", "2"}}},
        {"the empty name",
         kHeader + sectionLine("", "1") + sectionLine("", "2"),
         {{"", "1"}, {" (2)", "2"}}},
    });
    const ParseResult result = readThoroughly(kHeader + sectionLine("A", "1") +
                                              sectionLine("A", "2") + sectionLine("A", "3"));
    const auto& repeated = findingsOf(result).repeatedNames;
    ASSERT_EQ(repeated.size(), 1u);
    EXPECT_EQ(repeated[0].sectionName, "A");
    EXPECT_EQ(repeated[0].times, 2u);
    EXPECT_EQ(repeated[0].firstRenamed, "A (2)");
}

TEST(ThoroughReadingTest, BothReadingsWriteTheSameForAnUndamagedDocument) {
    const std::vector<std::pair<const char*, std::string>> documents = {
        {"sections with distinct names", kHeader + sectionLine("One", kProse) +
                                             sectionLine("Two 🏔", kOther) +
                                             "</QuilloraDocument>\n"},
        {"CR LF, tabs and line breaks in the texts",
         "<?xml version=\"1.0\"?>\r\n" + sectionLine("Tabs", "a\tb\r\nc\n") + "\r\n" +
             sectionLine("Empty", "") + "\r\n"},
        {"element text between sections",
         kHeader + "<Properties><Author>Zo&#235;</Author></Properties>\n" +
             sectionLine("Only", kOther)},
        {"a long section", kHeader + sectionLine("Long", std::string(100000, 'x') + kProse)},
    };
    for (const auto& [label, document] : documents) {
        SCOPED_TRACE(label);
        const ParseResult plain = parseText(document, "doc.qlx");
        const ParseResult thorough = readThoroughly(document);
        ASSERT_TRUE(plain.accepted() && thorough.accepted());
        EXPECT_EQ(exportText(thorough.document.contents), exportText(plain.document.contents));
    }
}

TEST(ThoroughReadingTest, ReadingInPiecesGivesWhatReadingWholeGives) {
    const std::string body = encodeBase64(kProse);
    std::string damaged = body;
    damaged.insert(41, "Q*");
    const std::vector<std::string> documents = {
        kHeader + startTag("W") + "\r\n" + wrapped(body, 76, "\r\n") + "</Section>\r" +
            sectionLine("W", kOther),
        std::string(30, '\0') + "<Sec\ntion name=\"" + encodeBase64("N") + "\">" + damaged +
            std::string(300, '*') + body + "<b>" + body,
        "<?xml \r" + body + "\n  <section name='" + encodeBase64("Q") + "'>" + body,
    };
    for (const std::string& document : documents) {
        const ParseResult whole = readThoroughly(document);
        ASSERT_TRUE(whole.accepted());
        const std::string wholeReport =
            describeReport(whole.document.report, whole.document.contents);
        for (const std::size_t size : {1u, 2u, 3u, 5u, 7u, 64u}) {
            SCOPED_TRACE(size);
            DocumentReader reader(Reading::Thorough);
            for (std::size_t at = 0; at < document.size(); at += size) {
                reader.feed(std::string_view(document).substr(at, size));
            }
            const ParseResult pieces = reader.finish("doc.qlx");
            ASSERT_TRUE(pieces.accepted());
            EXPECT_EQ(sectionsOf(pieces), sectionsOf(whole));
            EXPECT_EQ(describeReport(pieces.document.report, pieces.document.contents),
                      wholeReport);
        }
    }
}

TEST(ThoroughReadingTest, TheReportSaysWhatTheThoroughReadingFound) {
    std::string body = encodeBase64(kProse);
    body.insert(41, "Q");
    const std::string document = "<?xmm\n  " + startTag("A") + "\n" + body + "</Section>" +
                                 sectionLine("A", "again") + encodeBase64(kOther) + "\n" +
                                 startTag("B") + withCharacter(encodeBase64(kSixty), 9, '*');
    const ParseResult result = readThoroughly(document);
    ASSERT_TRUE(result.accepted());
    const std::size_t count = result.document.contents.size();
    EXPECT_EQ(summarizeReport(result.document.report, count),
              "4 sections from 5 lines; first line damaged, 1 realignment, 1 piece kept without "
              "a section name, 1 repeated name kept under numbers");
    EXPECT_EQ(describeReport(result.document.report, result.document.contents),
              "Lines read: 5\n"
              "Section lines found: 3\n"
              "Sections: 4\n"
              "Lines that look like sections but were skipped (indented, or \"<Section\" not at "
              "the start): 0\n"
              "Read thoroughly\n"
              "The first line is not an \"<?xml \" header: read for the section tags found\n"
              "Sections whose text runs on past the line of their tag: 1\n"
              "Section tags not at the start of their line: 2\n"
              "Base64 groups dropped (a character outside the alphabet): 1\n"
              "Decoded bytes left out (not valid text): 6\n"
              "Realignments after characters were lost or inserted: 1\n"
              "Damaged stretches that gave no text: 0\n"
              "Piece kept under a name of its own: \"[text without a section, line 4]\" (Base64 "
              "outside any section)\n"
              "Section \"A\" occurs again: every text kept, the first repeat as \"A (2)\"\n");
}

}  // namespace
}  // namespace salvage
