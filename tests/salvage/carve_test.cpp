#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "salvage/carve.h"
#include "salvage/export.h"
#include "salvage/posix_calls.h"
#include "test_support.h"

namespace salvage {
namespace {

using testing::encodeBase64;
using testing::randomBytes;
using testing::TempDir;
using testing::writeFile;

constexpr std::size_t kCluster = kClusterSize;

std::string section(std::string_view name, std::string_view text) {
    return "<Section name=\"" + encodeBase64(name) + "\" style=\"body\">" + encodeBase64(text) +
           "</Section>\n";
}

// A section whose Base64 is wrapped over lines of 76, as mail and some writers wrap it.
std::string wrappedSection(std::string_view name, std::string_view text) {
    const std::string body = encodeBase64(text);
    std::string wrapped;
    for (std::size_t at = 0; at < body.size(); at += 76) {
        wrapped += body.substr(at, 76) + "\n";
    }
    return "<Section name=\"" + encodeBase64(name) + "\">\n" + wrapped + "</Section>\n";
}

std::string quillora(const std::string& sections) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QuilloraDocument version=\"1.5\">\n" +
           sections + "</QuilloraDocument>\n";
}

// Prose of `size` bytes with characters of two, three and four bytes in it.
std::string prose(std::size_t size, unsigned seed) {
    static const std::vector<std::string> words{"Zürich", "café", "rain",  "€uro", "the",
                                                "🙂",   "—",    "train", "late", "over"};
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) {
        text += words[rng() % words.size()] + " ";
    }
    return text;
}

std::string zeros(std::size_t clusters) {
    return std::string(clusters * kCluster, '\0');
}

std::string noise(std::size_t clusters, unsigned seed) {
    std::mt19937 rng(seed);
    return randomBytes(rng, clusters * kCluster);
}

// `bytes` padded with zeros to whole clusters, as a file system stores a file.
std::string padded(std::string bytes) {
    bytes.resize((bytes.size() + kCluster - 1) / kCluster * kCluster, '\0');
    return bytes;
}

struct Found {
    std::vector<CarvedDocument> documents;
    std::vector<ByteRange> unreadable;
    // Documents ('d') and unreadable ranges ('u') by offset, in the order they were reported.
    std::vector<std::pair<char, std::uint64_t>> order;
    CarveSummary summary;
};

Found carveFile(const std::filesystem::path& path, CarveOptions options = {}) {
    Found found;
    CarveCallbacks callbacks;
    callbacks.document = [&](CarvedDocument&& d) {
        found.order.emplace_back('d', d.place.offset());
        found.documents.push_back(std::move(d));
    };
    callbacks.unreadable = [&](const ByteRange& r) {
        found.order.emplace_back('u', r.offset);
        found.unreadable.push_back(r);
    };
    found.summary = carve(path, options, callbacks);
    return found;
}

Found carveBytes(const std::string& image, CarveOptions options = {}) {
    TempDir dir;
    writeFile(dir / "image", image);
    return carveFile(dir / "image", options);
}

std::string textOf(const CarvedDocument& document) {
    return exportText(document.reading.document.contents);
}

std::string expectedText(const std::string& document) {
    return exportText(parseText(document, "d", Reading::Thorough).document.contents);
}

TEST(Carve, FindsDocumentsAndNothingElse) {
    const std::string letter = quillora(section("Greeting", "Dear Ingrid,") +
                                        section("Body", prose(300, 1)) + section("End", "Zoë"));
    const std::string note = quillora(wrappedSection("Note", prose(5000, 2)));
    const std::string headless = section("Lost", prose(200, 3)) + section("Found", "again");
    const std::string mail =
        "From: a@example.org\nContent-Transfer-Encoding: base64\n\n" + encodeBase64(prose(900, 4));
    const std::string otherXml =
        "<?xml version=\"1.0\"?>\n<feed>\n<entry>QUJD</entry>\n<Section>x</Section>\n</feed>\n";
    const std::string plainSections =
        "<Section name=\"intro\">Hello world</Section>\n<Section name=\"more\">Hello</Section>\n"
        "<section name=\"x\">abcd</section>\n";
    const std::string plainText = "It was late, and the rain went on.\n" + prose(3000, 5);
    std::string crlf = letter;
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) {
        crlf.replace(at, 1, "\r\n");
    }
    const std::string prefixed =
        "<?xml version=\"1.0\"?>\n<q:QuilloraDocument>\n  <q:section name='" +
        encodeBase64("Über") + "'>" + encodeBase64(prose(100, 15)) +
        "</q:section>\n</q:QuilloraDocument>\n";

    // Its first cluster lost: what is left begins inside a section's line.
    const std::string rest = quillora(section("Greeting", prose(3000, 21)) +
                                      section("Next", "more") + section("End", "Adieu"))
                                 .substr(kCluster);
    const std::size_t firstTag = rest.find("<Section");

    struct Case {
        const char* label;
        std::string image;
        std::vector<std::uint64_t> offsets;
        std::vector<std::string> documents;  // as written; their texts are expected
    };
    const std::vector<Case> cases{
        {"one document among zeros", zeros(1) + padded(letter) + zeros(2), {kCluster}, {letter}},
        {"two documents back to back", letter + note, {0, letter.size()}, {letter, note}},
        {"text wrapped over lines, across clusters",
         noise(1, 6) + padded(note),
         {kCluster},
         {note}},
        {"sections without their header", zeros(1) + padded(headless), {kCluster}, {headless}},
        {"CR LF line breaks", padded(crlf), {0}, {crlf}},
        {"prefixed, lower-case and indented tags", padded(prefixed), {0}, {prefixed}},
        {"a document ends at its root's end tag",
         letter + "trailing words\n" + noise(1, 7),
         {0},
         {letter}},
        {"a cut-off document ends where other data begins",
         letter.substr(0, letter.size() - 40) + zeros(1),
         {0},
         {letter.substr(0, letter.size() - 40)}},
        {"in a cluster's slack, after another file's last line",
         zeros(1) + padded(plainText.substr(0, 700) + letter),
         {kCluster + 700},
         {letter}},
        {"its first cluster lost",
         noise(1, 22) + padded(rest),
         {kCluster + firstTag},
         {rest.substr(firstTag)}},
        {"random bytes", noise(64, 8), {}, {}},
        {"plain text", padded(plainText), {}, {}},
        {"other XML", padded(otherXml), {}, {}},
        {"mail with Base64", padded(mail), {}, {}},
        {"section tags with plain text", padded(plainSections), {}, {}},
        {"a section tag whose name decodes, before plain text",
         zeros(1) + padded("<Section name=\"Ideas\" style=\"body\">\xE4\xBB\x96 rain, "
                           "snow</Section>\n<Section name=\"Idea\">Cr\xC3\xA8me</Section>\n"),
         {},
         {}},
        {"all of them",
         noise(2, 9) + padded(plainText) + padded(otherXml) + padded(letter) + padded(mail) +
             padded(plainSections) + padded(note),
         {2 * kCluster + padded(plainText).size() + padded(otherXml).size(),
          2 * kCluster + padded(plainText).size() + padded(otherXml).size() +
              padded(letter).size() + padded(mail).size() + padded(plainSections).size()},
         {letter, note}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Found found = carveBytes(c.image);
        ASSERT_EQ(found.documents.size(), c.offsets.size());
        for (std::size_t i = 0; i < c.offsets.size(); ++i) {
            const DocumentPlace& place = found.documents[i].place;
            EXPECT_EQ(place.offset(), c.offsets[i]);
            EXPECT_EQ(place.length(), c.documents[i].size());
            EXPECT_TRUE(place.seams.empty());
            EXPECT_EQ(textOf(found.documents[i]), expectedText(c.documents[i]));
        }
        EXPECT_EQ(found.summary.bytesRead, c.image.size());
        EXPECT_FALSE(found.summary.error);
    }
}

TEST(Carve, JoinsADocumentStoredInTwoPieces) {
    // One long section, so that the cut falls inside its Base64.
    const std::string document =
        quillora(section("Greeting", "Hello") + section("Story", prose(12000, 10)) +
                 section("End", "Adieu"));
    const std::string head = document.substr(0, 2 * kCluster);
    const std::string tail = document.substr(2 * kCluster);
    // Another document's text at every alignment: it decodes to text only in step.
    const std::string decoy = padded(quillora(wrappedSection("Decoy", prose(6000, 11))));
    const std::string other = padded(quillora(section("Other", "a small one")));

    struct Case {
        const char* label;
        std::string gap;
        std::size_t documents;
        bool guessed;
    };
    const std::vector<Case> cases{
        {"zeros between", zeros(3), 1, false},
        {"random bytes between", noise(5, 12), 1, false},
        {"another document between", other, 2, false},
        {"a decoy in the way", zeros(1) + decoy.substr(kCluster, 2 * kCluster), 1, false},
        // The nearest cluster that fits is the middle of a run (here, of a copy): the one
        // before it ends inside a line of Base64.
        {"a cluster that goes on from the one before it",
         "!!!\n" + std::string(kCluster - 4, 'Q') + tail.substr(0, kCluster) + zeros(1), 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string image = head + c.gap + padded(tail);
        const Found found = carveBytes(image);
        ASSERT_EQ(found.documents.size(), c.documents);
        const DocumentPlace& place = found.documents.front().place;
        const std::vector<ByteRange> fragments{{0, head.size()},
                                               {head.size() + c.gap.size(), tail.size()}};
        EXPECT_EQ(place.fragments, fragments);
        ASSERT_EQ(place.seams.size(), 1U);
        EXPECT_EQ(place.seams[0].offset, head.size() + c.gap.size());
        EXPECT_EQ(place.seams[0].guessed, c.guessed);
        EXPECT_EQ(textOf(found.documents.front()), expectedText(document));
    }
}

// The pieces of a fragmented file need not lie in order: the second may come first.
TEST(Carve, JoinsAPieceThatLiesBeforeItsPredecessor) {
    const std::string document = quillora(
        section("Greeting", "Hello") + section("Story", prose(12000, 23)) + section("End", "Bye"));
    const std::string head = document.substr(0, 2 * kCluster);
    const std::string tail = padded(document.substr(2 * kCluster));
    // What follows the first piece ends its line: the piece that carries it on is claimed, and
    // the section that starts inside that piece starts no document of its own.
    for (const std::string& after :
         {zeros(2), padded("as. Jeśli Kraków, Genève: château.\n") + zeros(1)}) {
        SCOPED_TRACE(after.substr(0, 8));
        const std::string image = zeros(1) + tail + noise(3, 24) + head + after;
        const Found found = carveBytes(image);
        ASSERT_EQ(found.documents.size(), 1U);
        const DocumentPlace& place = found.documents.front().place;
        const std::uint64_t headAt = kCluster + tail.size() + 3 * kCluster;
        const std::vector<ByteRange> fragments{{headAt, head.size()},
                                               {kCluster, document.size() - head.size()}};
        EXPECT_EQ(place.fragments, fragments);
        EXPECT_EQ(textOf(found.documents.front()), expectedText(document));
    }
}

// Two copies of a document (a file and its autosave), each in two pieces: each copy's second
// piece would carry on either, and goes to the copy cut off nearest before it.
TEST(Carve, APieceGoesToTheDocumentCutOffNearestBeforeIt) {
    const std::string document = quillora(section("Story", prose(12000, 25)));
    const std::string head = document.substr(0, 2 * kCluster);
    const std::string tail = padded(document.substr(2 * kCluster));
    const std::string image = head + head + noise(1, 26) + tail + noise(2, 27) + tail;
    const Found found = carveBytes(image);
    ASSERT_EQ(found.documents.size(), 2U);
    const std::uint64_t firstTail = 4 * kCluster + kCluster;
    const std::uint64_t secondTail = firstTail + tail.size() + 2 * kCluster;
    const std::uint64_t rest = document.size() - head.size();
    EXPECT_EQ(found.documents[0].place.fragments,
              (std::vector<ByteRange>{{0, head.size()}, {secondTail, rest}}));
    EXPECT_EQ(found.documents[1].place.fragments,
              (std::vector<ByteRange>{{head.size(), head.size()}, {firstTail, rest}}));
}

// The same with the second copy's pieces out of order: its second piece lies just before its
// first, nearer to it than to the first copy's cut, whose own second piece is lost.
TEST(Carve, APieceGoesToTheDocumentThatClaimsItFromNearer) {
    const std::string document = quillora(section("Story", prose(12000, 28)));
    const std::string head = document.substr(0, 2 * kCluster);
    const std::string tail = padded(document.substr(2 * kCluster));
    const std::string image = head + noise(8, 29) + tail + head + zeros(1);
    const Found found = carveBytes(image);
    ASSERT_EQ(found.documents.size(), 2U);
    const std::uint64_t tailAt = head.size() + 8 * kCluster;
    const std::uint64_t secondHead = tailAt + tail.size();
    EXPECT_EQ(found.documents[0].place.fragments, (std::vector<ByteRange>{{0, head.size()}}));
    EXPECT_EQ(found.documents[1].place.fragments,
              (std::vector<ByteRange>{{secondHead, head.size()},
                                      {tailAt, document.size() - head.size()}}));
}

// A cluster or two of a document overwritten by other data: the text is taken up again after
// them, out of step with the Base64 groups and inside a character as it most often is.
TEST(Carve, TakesTheTextUpAgainAfterOverwrittenClusters) {
    struct Case {
        const char* label;
        std::string document;
        std::size_t lost;
    };
    const std::vector<Case> cases{
        {"one line", quillora(section("Story", prose(16000, 30))), 1},
        {"wrapped lines", quillora(wrappedSection("Story", prose(16000, 31))), 1},
        {"two clusters, into the next section",
         quillora(section("One", prose(9000, 32)) + section("Two", prose(9000, 33))), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::size_t kept = 2 * kCluster;
        const std::size_t resumed = kept + c.lost * kCluster;
        const std::string image =
            padded(c.document.substr(0, kept) + noise(c.lost, 34) + c.document.substr(resumed));
        const Found found = carveBytes(image);
        ASSERT_EQ(found.documents.size(), 1U);
        const DocumentPlace& place = found.documents[0].place;
        EXPECT_EQ(place.fragments,
                  (std::vector<ByteRange>{{0, kept}, {resumed, c.document.size() - resumed}}));
        EXPECT_EQ(textOf(found.documents[0]),
                  expectedText(c.document.substr(0, kept) + c.document.substr(resumed)));
    }
}

// A section wrapped in lines of 76 Base64 characters (57 bytes of ASCII text each), starting
// after an attribute of `padding` bytes that places the lines' ends.
std::string wrappedLetter(std::size_t padding) {
    return "<?xml version=\"1.0\"?>\n<QuilloraDocument>\n<Section name=\"" + encodeBase64("Story") +
           "\" pad=\"" + std::string(padding, 'p') + "\">\n" +
           wrappedSection("", std::string(9000, 'a')).substr(18) + "</QuilloraDocument>\n";
}

TEST(Carve, ASeamIsAGuessUnlessTheCutFallsInsideAGroupOrACharacter) {
    // Before the first Base64 line: the two tags' lines, the start tag and its line break.
    const std::size_t before = wrappedLetter(0).find('\n', 70) + 1;
    const std::size_t lineEnd = (kCluster - before) % 77;  // padding that ends a line on 4096
    struct Case {
        const char* label;
        std::size_t padding;
        bool guessed;
    };
    const std::vector<Case> cases{
        {"cut between two lines of text", lineEnd, true},
        {"cut inside a group of four", lineEnd + 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string document = wrappedLetter(c.padding);
        const Found found =
            carveBytes(document.substr(0, kCluster) + zeros(2) + padded(document.substr(kCluster)));
        ASSERT_EQ(found.documents.size(), 1U);
        ASSERT_EQ(found.documents[0].place.seams.size(), 1U);
        EXPECT_EQ(found.documents[0].place.seams[0].guessed, c.guessed);
        EXPECT_EQ(textOf(found.documents[0]), expectedText(document));
    }
}

TEST(Carve, DoesNotJoinWhatDoesNotCarryOn) {
    struct Case {
        const char* label;
        std::string document;
        std::string after;  // the clusters after its first two
    };
    const std::vector<Case> cases{
        // The same length of another text: its Base64 is in step but decodes to other words,
        // and the test can only be told by the text failing, so it must be made to fail.
        {"words that are not Base64", quillora(section("Story", prose(12000, 13))),
         zeros(2) + padded("Just some words that are not Base64 at all.\n")},
        // Ending the cut line at once lets the text gathered before the seam be decoded there,
        // which is no sign of the cluster carrying it on.
        {"a line break, then other data", quillora(wrappedSection("Story", prose(12000, 15))),
         zeros(1) + "\n" + noise(1, 15).substr(1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string head = c.document.substr(0, 2 * kCluster);
        const Found found = carveBytes(head + c.after + zeros(1));
        ASSERT_EQ(found.documents.size(), 1U);
        EXPECT_EQ(found.documents[0].place.fragments, (std::vector<ByteRange>{{0, head.size()}}));
    }
}

// The same text wrapped at another width goes on in step and decodes to the same words: only
// the width of its lines tells that it is another file's.
TEST(Carve, DoesNotJoinLinesOfAnotherWidth) {
    const std::string text = prose(12000, 35);
    // Width 0: the whole text on its start tag's line.
    const auto wrappedAt = [&](std::size_t width) {
        const std::string body = encodeBase64(text);
        std::string lines;
        for (std::size_t at = 0; width != 0 && at < body.size(); at += width) {
            lines += body.substr(at, width) + "\n";
        }
        return quillora("<Section name=\"" + encodeBase64("Story") + "\">" +
                        (width == 0 ? body : "\n" + lines) + "</Section>\n");
    };
    const auto base64Before = [](std::string_view bytes) {
        const std::size_t tag = bytes.find("\">");
        if (tag == std::string_view::npos) {
            return std::size_t{0};
        }
        const std::string_view body = bytes.substr(tag + 2);
        return static_cast<std::size_t>(
            body.size() - static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n')));
    };
    struct Case {
        std::size_t width;
        std::size_t otherWidth;
    };
    for (const Case& c : {Case{76, 64}, Case{0, 76}}) {
        SCOPED_TRACE(std::to_string(c.width) + " and " + std::to_string(c.otherWidth));
        const std::string head = wrappedAt(c.width).substr(0, 2 * kCluster);
        const std::string other = wrappedAt(c.otherWidth);
        // Where the other wrapping holds the Base64 character the cut stopped before.
        std::size_t decoyAt = 0;
        while (base64Before(std::string_view(other).substr(0, decoyAt)) < base64Before(head)) {
            ++decoyAt;
        }
        const std::string decoy = other.substr(decoyAt, kCluster);
        // Further than the text of a document is taken up again after overwritten clusters.
        const Found found = carveBytes(head + zeros(3) + decoy + zeros(1));
        ASSERT_EQ(found.documents.size(), 1U);
        EXPECT_EQ(found.documents[0].place.fragments, (std::vector<ByteRange>{{0, head.size()}}));
    }
}

// The cluster nearest a cut decodes to text in step with it, but the word cut off goes on in
// another script there: the document goes on in the piece further away.
TEST(Carve, DoesNotJoinAWordThatGoesOnInAnotherScript) {
    std::string start =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<QuilloraDocument version=\"1.5\">\n<Section name=\"" +
        encodeBase64("Story") + "\"";
    // Blanks before the ">" put the cut on a group boundary.
    while ((start.size() + 1) % 4 != 0) {
        start += ' ';
    }
    start += ">";
    // The text before the cut fills the first two clusters in whole groups and ends inside a
    // word.
    std::string before = "The kitchen w";
    while (before.size() % 3 != 0 || start.size() + before.size() / 3 * 4 < 2 * kCluster) {
        before.insert(0, "a");
    }
    ASSERT_EQ(start.size() + before.size() / 3 * 4, 2 * kCluster);
    const std::string ending = "</Section>\n</QuilloraDocument>\n";
    const std::string head = start + encodeBase64(before);
    const std::string tail = padded(encodeBase64("indow was open. " + prose(3000, 36)) + ending);
    const std::string decoy = padded(encodeBase64("ihсал кухня, тихий кофе и хлеб.") + ending);
    const Found found = carveBytes(head + zeros(1) + decoy + zeros(2) + tail);
    ASSERT_EQ(found.documents.size(), 1U);
    const std::uint64_t tailAt = head.size() + 4 * kCluster;
    EXPECT_EQ(found.documents[0].place.fragments,
              (std::vector<ByteRange>{{0, head.size()}, {tailAt, tail.find('\0')}}));
}

// Reads as the system does, except that every read touching one of the chosen clusters fails
// with EIO (a cluster in `flaky` only as often as it says), and a read from inside a cluster
// (as a document that starts there is read once found) that touches `failsLate` fails too: a
// cluster that fails after it was looked through. Records how the source was opened.
struct DiskFaults {
    static inline std::set<std::uint64_t> bad;
    static inline std::map<std::uint64_t, int> flaky;
    static inline std::optional<std::uint64_t> failsLate;
    static inline std::vector<int> openFlags;

    static const kestLibrary::PosixCalls& calls() {
        static kestLibrary::PosixCalls table = [] {
            kestLibrary::PosixCalls t = kestLibrary::systemCalls();
            t.open = [](const char* path, int flags, mode_t mode) {
                openFlags.push_back(flags);
                return kestLibrary::systemCalls().open(path, flags, mode);
            };
            t.pread = [](int fd, void* bytes, std::size_t count, off_t offset) -> ssize_t {
                const auto from = static_cast<std::uint64_t>(offset);
                if (failsLate && from % kCluster != 0 && from < *failsLate + kCluster &&
                    from + count > *failsLate) {
                    errno = EIO;
                    return -1;
                }
                for (std::uint64_t c = from / kCluster * kCluster; c < from + count;
                     c += kCluster) {
                    const auto f = flaky.find(c);
                    if (bad.contains(c) || (f != flaky.end() && f->second-- > 0)) {
                        errno = EIO;
                        return -1;
                    }
                }
                return kestLibrary::systemCalls().pread(fd, bytes, count, offset);
            };
            return t;
        }();
        return table;
    }
};

TEST(Carve, StepsOverClustersThatCannotBeRead) {
    const std::string letter = quillora(section("Greeting", "Dear Ingrid,"));
    const std::string image = zeros(2) + padded(letter) + zeros(4) + padded(letter) + zeros(2);
    struct Case {
        const char* label;
        std::set<std::uint64_t> bad;
        std::map<std::uint64_t, int> flaky;
        std::vector<ByteRange> unreadable;
    };
    const std::vector<Case> cases{
        {"none", {}, {}, {}},
        {"one", {0}, {}, {{0, kCluster}}},
        {"neighbours as one range",
         {4 * kCluster, 5 * kCluster},
         {},
         {{4 * kCluster, 2 * kCluster}}},
        {"apart", {kCluster, 9 * kCluster}, {}, {{kCluster, kCluster}, {9 * kCluster, kCluster}}},
        // The window's read fails, then the cluster's own read, then its one retry.
        {"read on the retry", {}, {{4 * kCluster, 2}}, {}},
        {"failing on the retry too", {}, {{4 * kCluster, 3}}, {{4 * kCluster, kCluster}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DiskFaults::bad = c.bad;
        DiskFaults::flaky = c.flaky;
        const kestLibrary::ScopedPosixCalls faults(DiskFaults::calls());
        const Found found = carveBytes(image);
        EXPECT_EQ(found.unreadable, c.unreadable);
        std::uint64_t lost = 0;
        for (const ByteRange& r : c.unreadable) {
            lost += r.length;
        }
        EXPECT_EQ(found.summary.unreadableBytes, lost);
        EXPECT_EQ(found.summary.bytesRead, image.size() - lost);
        EXPECT_EQ(found.documents.size(), 2U);
    }
    DiskFaults::bad.clear();
}

TEST(Carve, AnUnreadableClusterInsideADocumentIsSteppedOver) {
    const std::string document = quillora(section("Story", prose(12000, 14)));
    DiskFaults::bad = {kCluster};
    const kestLibrary::ScopedPosixCalls faults(DiskFaults::calls());
    const Found found = carveBytes(padded(document));
    DiskFaults::bad.clear();
    ASSERT_EQ(found.documents.size(), 1U);
    EXPECT_EQ(found.unreadable, (std::vector<ByteRange>{{kCluster, kCluster}}));
    // The section goes on after the lost cluster, out of step: the seam is a guess or absent,
    // but the document is one and its end is read.
    EXPECT_EQ(found.documents[0].place.fragments.back().offset +
                  found.documents[0].place.fragments.back().length,
              document.size());
}

TEST(Carve, AClusterThatFailsWhenADocumentIsReadReadsAsZeros) {
    const std::string document = quillora(section("Story", prose(12000, 16)));
    const std::size_t start = 100;  // after the end of another file's data
    DiskFaults::failsLate = kCluster;
    const kestLibrary::ScopedPosixCalls faults(DiskFaults::calls());
    const Found found = carveBytes(padded(std::string(start, 'x') + document));
    DiskFaults::failsLate.reset();
    ASSERT_EQ(found.documents.size(), 1U);
    EXPECT_EQ(found.documents[0].place.offset(), start);
    EXPECT_EQ(found.documents[0].place.length(), document.size());
    // The cluster's bytes became zeros, which cut the section's text there.
    EXPECT_NE(textOf(found.documents[0]), expectedText(document));
}

TEST(Carve, OpensTheSourceForReadingOnly) {
    DiskFaults::openFlags.clear();
    const kestLibrary::ScopedPosixCalls faults(DiskFaults::calls());
    carveBytes(padded(quillora(section("A", "b"))));
    ASSERT_EQ(DiskFaults::openFlags.size(), 1U);
    EXPECT_EQ(DiskFaults::openFlags[0] & O_ACCMODE, O_RDONLY);
    EXPECT_NE(DiskFaults::openFlags[0] & O_CLOEXEC, 0);
}

TEST(Carve, ASourceThatCannotBeReadIsAnError) {
    TempDir dir;
    struct Case {
        const char* label;
        std::filesystem::path path;
    };
    writeFile(dir / "image", zeros(2));
    const std::vector<Case> cases{{"missing", dir / "missing"}, {"a folder", dir.path()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_TRUE(carveFile(c.path).summary.error);
    }
    DiskFaults::bad = {0, kCluster};
    const kestLibrary::ScopedPosixCalls faults(DiskFaults::calls());
    EXPECT_TRUE(carveFile(dir / "image").summary.error);
    DiskFaults::bad.clear();
}

// Changes the file being carved after its first read.
struct ChangingSource {
    static inline std::filesystem::path path;
    static inline std::int64_t newSize = 0;
    static inline bool changed = false;

    static const kestLibrary::PosixCalls& calls() {
        static kestLibrary::PosixCalls table = [] {
            kestLibrary::PosixCalls t = kestLibrary::systemCalls();
            t.pread = [](int fd, void* bytes, std::size_t count, off_t offset) -> ssize_t {
                if (!changed) {
                    changed = true;
                    if (::truncate(path.c_str(), static_cast<off_t>(newSize)) != 0) {
                        return -1;
                    }
                }
                return kestLibrary::systemCalls().pread(fd, bytes, count, offset);
            };
            return t;
        }();
        return table;
    }
};

TEST(Carve, ASourceThatChangesWhileReadEndsCleanly) {
    const std::string letter = padded(quillora(section("Greeting", "Dear Ingrid,")));
    std::string image;
    for (int i = 0; i < 8; ++i) {
        image += letter + zeros(1);
    }
    for (const std::int64_t size :
         {std::int64_t{0}, std::int64_t(image.size() / 2 + 100), std::int64_t(image.size() * 2)}) {
        SCOPED_TRACE(size);
        TempDir dir;
        ChangingSource::path = dir / "image";
        ChangingSource::newSize = size;
        ChangingSource::changed = false;
        writeFile(ChangingSource::path, image);
        const kestLibrary::ScopedPosixCalls change(ChangingSource::calls());
        const Found found = carveFile(ChangingSource::path);
        EXPECT_FALSE(found.summary.error);
        const auto kept = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), image.size());
        EXPECT_EQ(found.summary.bytesRead, kept);
        // A letter cut short by the shrinking still counts: its header and root are there.
        const std::uint64_t unit = letter.size() + kCluster;
        EXPECT_EQ(found.documents.size(), kept / unit + (kept % unit != 0));
    }
}

// An image of many documents, some in two pieces, with noise and traps between them.
std::string mixedImage() {
    std::string image;
    for (unsigned i = 0; i < 24; ++i) {
        const std::string document =
            quillora(section("Part " + std::to_string(i), prose(3000 + 900 * (i % 5), i)) +
                     wrappedSection("Notes", prose(500 + 300 * (i % 3), i + 100)));
        if (i % 4 == 3) {
            image += document.substr(0, kCluster) + noise(2, i) + padded(document.substr(kCluster));
        } else {
            image += padded(document);
        }
        image += i % 2 == 0 ? zeros(1) : noise(1, i + 50);
        if (i % 6 == 0) {
            image += padded("<Section name=\"intro\">Hello world</Section>\n");
        }
    }
    return image;
}

std::vector<std::pair<DocumentPlace, std::string>> summarise(const Found& found) {
    std::vector<std::pair<DocumentPlace, std::string>> list;
    for (const CarvedDocument& d : found.documents) {
        list.emplace_back(d.place, textOf(d));
    }
    return list;
}

TEST(Carve, ThreadsAndRangesFindWhatOneWholeRunFinds) {
    TempDir dir;
    const std::string image = mixedImage();
    writeFile(dir / "image", image);
    const Found whole = carveFile(dir / "image");
    ASSERT_EQ(whole.documents.size(), 24U);
    std::size_t seams = 0;
    for (const CarvedDocument& d : whole.documents) {
        seams += d.place.seams.size();
    }
    EXPECT_EQ(seams, 6U);
    const auto expected = summarise(whole);

    // Shares of 16 clusters and more, taken in turn, their documents read as they are found;
    // unreadable clusters on both sides of the boundaries between them (the image starts with
    // a document: they are read around it).
    // Only clusters that always fail: the threads read them at once.
    DiskFaults::flaky.clear();
    DiskFaults::bad = {15 * kCluster, 16 * kCluster, 17 * kCluster, 32 * kCluster, 69 * kCluster};
    {
        const kestLibrary::ScopedPosixCalls faults(DiskFaults::calls());
        const Found damaged = carveFile(dir / "image");
        EXPECT_EQ(damaged.unreadable.size(), 3U);
        EXPECT_TRUE(
            std::ranges::is_sorted(damaged.order, {}, [](const auto& e) { return e.second; }));
        for (const std::uint64_t shareLength :
             {std::uint64_t{64} << 20, 16 * kCluster, 23 * kCluster}) {
            for (const unsigned threads : {2U, 3U, 7U}) {
                SCOPED_TRACE(std::to_string(threads) + " threads, shares of " +
                             std::to_string(shareLength));
                CarveOptions options;
                options.threads = threads;
                options.shareLength = shareLength;
                const Found found = carveFile(dir / "image", options);
                EXPECT_EQ(summarise(found), summarise(damaged));
                EXPECT_EQ(found.unreadable, damaged.unreadable);
                EXPECT_EQ(found.order, damaged.order);
                EXPECT_EQ(found.summary.bytesRead, damaged.summary.bytesRead);
            }
        }
    }
    DiskFaults::bad.clear();
    // Split points on cluster boundaries, inside documents and at odd bytes.
    const std::uint64_t inside = whole.documents[5].place.offset() + 1000;
    for (const std::uint64_t split : {std::uint64_t{kCluster}, inside, std::uint64_t{77777},
                                      whole.documents[9].place.offset()}) {
        SCOPED_TRACE(split);
        CarveOptions first;
        first.end = split;
        CarveOptions second;
        second.start = split;
        auto joined = summarise(carveFile(dir / "image", first));
        const auto rest = summarise(carveFile(dir / "image", second));
        joined.insert(joined.end(), rest.begin(), rest.end());
        EXPECT_EQ(joined, expected);
    }
}

}  // namespace
}  // namespace salvage
