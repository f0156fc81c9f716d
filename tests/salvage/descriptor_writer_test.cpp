#include "salvage/descriptor_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/file_descriptor.h"
#include "test_support.h"

namespace kestLibrary {
namespace {

using salvage::testing::readFile;
using salvage::testing::TempDir;

class Descriptor : public salvage::detail::FileDescriptor {
  public:
    Descriptor(const std::filesystem::path& path, int flags)
        : FileDescriptor(::open(path.c_str(), flags, 0600)) {}
};

TEST(DescriptorWriterTest, BytesArriveInOrderWhateverThePieceSizes) {
    // A buffer of 4 bytes: pieces that fit, that fill it exactly, that overflow it and that
    // are larger than it must all come out in order, once.
    const std::vector<std::vector<std::string>> cases = {
        {},
        {""},
        {"ab", "cd"},
        {"abc", "de"},
        {"a", "bcdefghij", "k"},
        {"abcd", "", "efgh", "i"},
        {"abcdefgh", "ijklmnop"},
        {std::string("\0\r\n\xff", 4), "x"},
    };
    for (const auto& pieces : cases) {
        SCOPED_TRACE(::testing::PrintToString(pieces));
        TempDir dir;
        std::string expected;
        {
            Descriptor out(dir / "out", O_WRONLY | O_CREAT | O_TRUNC);
            DescriptorWriter writer(out.get(), 4);
            for (const std::string& piece : pieces) {
                EXPECT_TRUE(writer.write(piece));
                expected += piece;
            }
            EXPECT_TRUE(writer.flush());
            EXPECT_FALSE(writer.error().has_value());
        }
        EXPECT_EQ(readFile(dir / "out"), expected);
    }
}

TEST(DescriptorWriterTest, AFailedWriteIsReportedAndEndsWriting) {
    Descriptor full("/dev/full", O_WRONLY);
    ASSERT_GE(full.get(), 0);
    DescriptorWriter writer(full.get(), 4);
    EXPECT_TRUE(writer.write("ab"));  // still in the buffer
    EXPECT_FALSE(writer.flush());
    ASSERT_TRUE(writer.error().has_value());
    EXPECT_EQ(*writer.error(), "No space left on device");
    EXPECT_FALSE(writer.write("c"));
    EXPECT_FALSE(writer.flush());
}

TEST(DescriptorWriterTest, AClosedDescriptorIsAFailureNotASuccess) {
    DescriptorWriter writer(-1);
    EXPECT_TRUE(writer.write("buffered"));
    EXPECT_FALSE(writer.flush());
    EXPECT_EQ(writer.error(), "Bad file descriptor");
}

}  // namespace
}  // namespace kestLibrary
