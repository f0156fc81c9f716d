#include "filetypes/file_type.h"

#include <gtest/gtest.h>

#include <string>

#include "filetypes/file_types.h"

namespace {

using filetypes::FileType;
using filetypes::Registry;

TEST(FileType, ConversionRegistersOnceAndGivesTheName) {
    Registry registry;
    FileType type(registry);
    type.setName("simpletext");
    type.setExtensions("txt");
    EXPECT_TRUE(registry.types().empty());

    EXPECT_EQ(static_cast<std::string>(type), "simpletext");
    registry.deregisterType("simpletext");  // a second conversion must not register again
    EXPECT_EQ(static_cast<std::string>(type), "simpletext");
    EXPECT_EQ(registry.find("simpletext"), nullptr);
}

TEST(FileType, ChangingARegisteredTypeTakesItOutUntilTheNextConversion) {
    Registry registry;
    FileType type(registry);
    type.setName("old");
    static_cast<void>(static_cast<std::string>(type));

    type.setName("new");
    EXPECT_FALSE(type.registered());
    EXPECT_EQ(registry.find("old"), nullptr);
    EXPECT_EQ(registry.find("new"), nullptr);

    static_cast<void>(static_cast<std::string>(type));
    EXPECT_NE(registry.find("new"), nullptr);
}

TEST(FileType, DestroyingARegisteredTypeDeregistersIt) {
    Registry registry;
    {
        FileType type(registry);
        type.setName("short-lived");
        static_cast<void>(static_cast<std::string>(type));
        EXPECT_NE(registry.find("short-lived"), nullptr);
    }
    EXPECT_EQ(registry.find("short-lived"), nullptr);
}

class FileTypesModule : public ::testing::Test {
  protected:
    void TearDown() override { FileTypes::Release(); }
    Registry registry_;
};

TEST_F(FileTypesModule, InitializeRegistersTheFourTypesInOrder) {
    EXPECT_EQ(FileTypes::Simpletext(), nullptr);
    FileTypes::Initialize(registry_);

    const auto& types = registry_.types();
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types[0].name, "simpletext");
    EXPECT_EQ(types[0].extension, "txt");
    EXPECT_EQ(types[0].macType, "TEXT");
    EXPECT_EQ(types[0].macCreator, "ttxt");
    EXPECT_EQ(types[1].name, "binary");
    EXPECT_EQ(types[1].extension, "");
    EXPECT_EQ(types[1].macType, "BINA");
    EXPECT_EQ(types[1].macCreator, "");
    EXPECT_EQ(types[2].name, "Quillora 1.5 (XML)");
    EXPECT_EQ(types[2].extension, "qlx");
    EXPECT_EQ(types[2].macCreator, "QL15");
    EXPECT_EQ(types[3].name, "Quillora Light");
    EXPECT_EQ(types[3].extension, "qll");
    EXPECT_EQ(types[3].macCreator, "QLL1");
    EXPECT_EQ(types[2].macType, types[3].macType);
}

TEST_F(FileTypesModule, AllNamesEveryTypeWithATrailingSeparatorAndResolvesToAllFour) {
    EXPECT_EQ(FileTypes::All, "simpletext;binary;Quillora 1.5 (XML);Quillora Light;");
    FileTypes::Initialize(registry_);
    EXPECT_EQ(registry_.resolve(FileTypes::All).size(), 4u);
}

TEST_F(FileTypesModule, SimpletextIsTheSameObjectAndConvertsToItsName) {
    FileTypes::Initialize(registry_);
    FileType* first = FileTypes::Simpletext();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(FileTypes::Simpletext(), first);
    EXPECT_EQ(static_cast<std::string>(*first), "simpletext");
    EXPECT_EQ(static_cast<std::string>(*first), "simpletext");
    EXPECT_EQ(registry_.types().size(), 4u);
    EXPECT_EQ(registry_.nameFilter(static_cast<std::string>(*first)), "simpletext (*.txt)");
}

TEST_F(FileTypesModule, ReleaseAndReinitializeLeaveExactlyOneRegistrationEach) {
    FileTypes::Initialize(registry_);
    FileTypes::Initialize(registry_);
    EXPECT_EQ(registry_.types().size(), 4u);
    FileTypes::Release();
    EXPECT_TRUE(registry_.types().empty());
    EXPECT_EQ(FileTypes::Simpletext(), nullptr);
}

}  // namespace
