#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "own_device.h"
#include "posix_faults.h"

namespace qlv::cli {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::runProgram;
using testing::sectionLine;
using testing::TempDir;
using testing::writeFile;
using Json = nlohmann::ordered_json;

constexpr std::size_t kCluster = 4096;

std::string padded(std::string bytes) {
    bytes.resize((bytes.size() + kCluster - 1) / kCluster * kCluster, '\0');
    return bytes;
}

std::string quillora(const std::string& sections) {
    return "<?xml version=\"1.0\"?>\n<QuilloraDocument>\n" + sections + "</QuilloraDocument>\n";
}

const std::string kLetter =
    quillora(sectionLine("Greeting", "Dear Ingrid,") + sectionLine("Body", std::string(5000, 'z')));
const std::string kNote = quillora(sectionLine("To/do", "milk"));
// Zeros, the letter, the note, the letter again, zeros.
const std::string kImage = std::string(kCluster, '\0') + padded(kLetter) + padded(kNote) +
                           padded(kLetter) + std::string(kCluster, '\0');
const std::uint64_t kNoteAt = kCluster + padded(kLetter).size();
const std::uint64_t kSecondLetterAt = kNoteAt + padded(kNote).size();

std::vector<Json> records(const std::string& lines) {
    std::vector<Json> parsed;
    std::size_t start = 0;
    for (std::size_t end = lines.find('\n'); end != std::string::npos;
         start = end + 1, end = lines.find('\n', start)) {
        parsed.push_back(Json::parse(lines.substr(start, end - start)));
    }
    return parsed;
}

Options carving(const fs::path& source, const fs::path& folder) {
    Options options;
    options.carve = source;
    options.outputDir = folder;
    options.threads = 1;
    return options;
}

TEST(CarveRun, WritesEachTextOnceAndAnIndex) {
    TempDir dir;
    writeFile(dir / "image", kImage);
    const testing::Outcome outcome = runProgram(carving(dir / "image", dir / "found"), dir.path());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");

    const std::string letterFile = "0x0000001000 Greeting.txt";
    const std::string noteFile = "0x" + std::string(10 - 4, '0') + "3000 To_do.txt";
    ASSERT_EQ(kNoteAt, 0x3000U);
    EXPECT_EQ(
        readFile(dir / "found" / letterFile),
        "Section: Greeting\nDear Ingrid,\n\nSection: Body\n" + std::string(5000, 'z') + "\n\n");
    EXPECT_EQ(readFile(dir / "found" / noteFile), "Section: To/do\nmilk\n\n");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir / "found")) {
        ++files;
    }
    EXPECT_EQ(files, 3U);  // the letter once, the note, the index

    const std::vector<Json> index = records(readFile(dir / "found" / "index.jsonl"));
    ASSERT_EQ(index.size(), 4U);
    EXPECT_EQ(index[0].dump(),
              Json({{"kind", "document"},
                    {"offset", kCluster},
                    {"length", kLetter.size()},
                    {"fragments",
                     Json::array({Json({{"offset", kCluster}, {"length", kLetter.size()}})})},
                    {"sections", 2},
                    {"first_section", "Greeting"},
                    {"seams", Json::array()},
                    {"damage", Json::array()},
                    {"file", letterFile},
                    {"duplicate_of", nullptr}})
                  .dump());
    EXPECT_EQ(index[1]["file"], noteFile);
    EXPECT_EQ(index[2]["offset"], kSecondLetterAt);
    EXPECT_EQ(index[2]["file"], letterFile);
    EXPECT_EQ(index[2]["duplicate_of"], letterFile);
    EXPECT_EQ(index[3].dump(), Json({{"kind", "summary"},
                                     {"source", (dir / "image").string()},
                                     {"range", Json::array({0, kImage.size()})},
                                     {"bytes_read", kImage.size()},
                                     {"documents", 3},
                                     {"duplicates", 1},
                                     {"unreadable_bytes", 0}})
                                   .dump());
}

// The files are flushed to the disk together, before the index is written: a flush that fails
// is an error, and what was written stays, listed.
TEST(CarveRun, AFlushThatFailsIsReported) {
    TempDir dir;
    writeFile(dir / "image", kImage);
    testing::Outcome outcome;
    {
        const salvage::testing::PosixFaults faults({salvage::testing::PosixCall::Syncfs, EIO});
        outcome = runProgram(carving(dir / "image", dir / "found"), dir.path());
    }
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "qlvodadov-cli: " + (dir / "found").string() +
                               ": not all of it reached the disk: Input/output error\n");
    EXPECT_EQ(records(readFile(dir / "found" / "index.jsonl")).size(), 4U);
}

TEST(CarveRun, JsonGoesToStandardOutputInsteadOfTheIndex) {
    TempDir dir;
    writeFile(dir / "image", kImage);
    Options options = carving(dir / "image", dir / "found");
    options.json = true;
    const testing::Outcome outcome = runProgram(options, dir.path());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(records(outcome.out).size(), 4U);
    EXPECT_FALSE(fs::exists(dir / "found" / "index.jsonl"));
    EXPECT_TRUE(fs::exists(dir / "found" / "0x0000001000 Greeting.txt"));
}

TEST(CarveRun, EndsAsTheSourceAllows) {
    struct Case {
        const char* label;
        std::string source;  // in the test's folder
        int status;
        std::string error;  // after "qlvodadov-cli: "
    };
    TempDir dir;
    writeFile(dir / "empty", std::string(8 * kCluster, '\0'));
    const std::vector<Case> cases{
        {"nothing found", "empty", 0, "No documents found in " + (dir / "empty").string() + "."},
        {"missing", "missing", 1, (dir / "missing").string() + ": No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const testing::Outcome outcome =
            runProgram(carving(dir / c.source, dir / "found"), dir.path());
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.err, "qlvodadov-cli: " + c.error + "\n");
    }
}

// Documents, one of them cut by each split, and the records without the file names, which
// depend on what an earlier run wrote.
TEST(CarveRun, ConsecutiveRangesIndexWhatOneRunIndexes) {
    TempDir dir;
    writeFile(dir / "image", kImage);
    const auto documents = [&](std::optional<CarveRange> range, const char* folder) {
        Options options = carving(dir / "image", dir / folder);
        options.json = true;
        options.range = range;
        std::vector<Json> found;
        for (Json& record : records(runProgram(options, dir.path()).out)) {
            if (record["kind"] == "document") {
                record.erase("file");
                record.erase("duplicate_of");
                found.push_back(std::move(record));
            }
        }
        return found;
    };
    const std::vector<Json> whole = documents(std::nullopt, "whole");
    ASSERT_EQ(whole.size(), 3U);
    for (const std::uint64_t split : {kCluster + 100, kNoteAt, kSecondLetterAt + 1}) {
        SCOPED_TRACE(split);
        std::vector<Json> joined = documents(CarveRange{0, split}, "first");
        const std::vector<Json> rest = documents(CarveRange{split, std::nullopt}, "rest");
        joined.insert(joined.end(), rest.begin(), rest.end());
        EXPECT_EQ(joined, whole);
    }
}

TEST(CarveRun, ThreadsWriteWhatOneThreadWrites) {
    TempDir dir;
    std::string image;
    for (std::size_t i = 0; i < 40; ++i) {
        image +=
            padded(quillora(sectionLine("Part " + std::to_string(i), std::string(i * 300, 'q')))) +
            std::string(kCluster, '\0');
    }
    writeFile(dir / "image", image);
    std::vector<std::string> indexes;
    for (const unsigned threads : {1U, 2U, 5U}) {
        Options options = carving(dir / "image", dir / std::to_string(threads));
        options.threads = threads;
        ASSERT_EQ(runProgram(options, dir.path()).status, 0);
        indexes.push_back(readFile(dir / std::to_string(threads) / "index.jsonl"));
    }
    EXPECT_EQ(records(indexes[0]).size(), 41U);
    EXPECT_EQ(indexes[1], indexes[0]);
    EXPECT_EQ(indexes[2], indexes[0]);
}

// Only looked at, never opened: the device that holds the test's folder, if this machine shows
// it in /dev, and a device of another kind.
TEST(CarveRun, AFolderOnTheDeviceBeingCarvedIsRefused) {
    TempDir dir;
    struct stat folder {};
    ASSERT_EQ(::stat(dir.path().c_str(), &folder), 0);
    std::optional<fs::path> own;
    std::optional<fs::path> other;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/dev", error)) {
        struct stat device {};
        if (::stat(entry.path().c_str(), &device) != 0 || !S_ISBLK(device.st_mode)) {
            continue;
        }
        if (device.st_rdev == folder.st_dev) {
            own = entry.path();
        } else if (major(device.st_rdev) != major(folder.st_dev)) {
            other = entry.path();  // not the disk of the folder's partition either
        }
    }
    if (!own) {
        GTEST_SKIP() << "no block device in /dev holds " << dir.path();
    }
    const auto reason = folderOnSource(*own, dir.path());
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(*reason, "is on " + own->string() + " itself; choose a folder on another device");
    if (other) {
        EXPECT_FALSE(folderOnSource(*other, dir.path()).has_value()) << *other;
    }
}

// A tree like the kernel's /sys with one loop device, whose number and backing file are
// chosen.
struct FakeSysfs {
    FakeSysfs(const fs::path& root, const fs::path& backing, dev_t loop, dev_t folderDevice,
              bool folderOnPartition) {
        const fs::path device = root / "block" / "loop7";
        fs::create_directories(device / "loop");
        writeFile(device / "loop" / "backing_file", backing.string() + "\n");
        writeFile(device / "dev", number(loop) + "\n");
        if (folderOnPartition) {
            fs::create_directories(device / "loop7p1");
            writeFile(device / "loop7p1" / "partition", "1\n");
            fs::create_directories(root / "dev" / "block");
            fs::create_directory_symlink(device / "loop7p1",
                                         root / "dev" / "block" / number(folderDevice));
        }
    }

    static std::string number(dev_t device) {
        return std::to_string(major(device)) + ":" + std::to_string(minor(device));
    }
};

TEST(CarveRun, AFolderOnAFileSystemStoredInTheSourceIsRefused) {
    TempDir dir;
    writeFile(dir / "image", kImage);
    writeFile(dir / "other", kImage);
    fs::create_directory(dir / "found");
    struct stat folder {};
    ASSERT_EQ(::stat((dir / "found").c_str(), &folder), 0);
    const dev_t elsewhere = makedev(250, 99);
    struct Case {
        const char* label;
        const char* backing;
        dev_t loop;
        bool onPartition;
        bool refused;
    };
    const std::vector<Case> cases{
        {"mounted from the source", "image", folder.st_dev, false, true},
        {"on a partition of the source's loop device", "image", elsewhere, true, true},
        {"the loop device holds another file", "other", folder.st_dev, false, false},
        {"the loop device is elsewhere", "image", elsewhere, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir sys;
        const FakeSysfs fake(sys.path(), dir / c.backing, c.loop, folder.st_dev, c.onPartition);
        const auto reason = folderOnSource(dir / "image", dir / "found", sys.path());
        EXPECT_EQ(reason.has_value(), c.refused);
        if (reason) {
            EXPECT_NE(reason->find("mounted from " + (dir / "image").string()), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace qlv::cli
