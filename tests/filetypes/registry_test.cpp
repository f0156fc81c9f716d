#include "filetypes/registry.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using filetypes::Registry;

Registry withDocumentTypes() {
    Registry registry;
    registry.registerType("simpletext", "ttxt", "TEXT", "txt");
    registry.registerType("binary", "", "BINA", "");
    registry.registerType("Quillora 1.5 (XML)", "QL15", "qXML", "qlx");
    return registry;
}

std::vector<std::string> names(const std::vector<filetypes::RegisteredType>& types) {
    std::vector<std::string> result;
    for (const auto& type : types) {
        result.push_back(type.name);
    }
    return result;
}

TEST(Registry, RegisteringANameAgainReplacesItInPlace) {
    Registry registry = withDocumentTypes();
    registry.registerType("binary", "x", "BIN2", "bin");
    ASSERT_EQ(registry.types().size(), 3u);
    EXPECT_EQ(registry.types()[1].macType, "BIN2");
    EXPECT_EQ(registry.find("binary")->extension, "bin");
}

TEST(Registry, DeregisteringRemovesOnlyThatName) {
    Registry registry = withDocumentTypes();
    registry.deregisterType("binary");
    registry.deregisterType("not there");
    EXPECT_EQ(names(registry.types()),
              (std::vector<std::string>{"simpletext", "Quillora 1.5 (XML)"}));
    EXPECT_EQ(registry.find("binary"), nullptr);
}

TEST(Registry, ResolvesAListInItsOrderSkippingEmptyAndUnknownNames) {
    const Registry registry = withDocumentTypes();
    EXPECT_EQ(names(registry.resolve("Quillora 1.5 (XML);;nothing;simpletext;")),
              (std::vector<std::string>{"Quillora 1.5 (XML)", "simpletext"}));
    EXPECT_EQ(names(registry.resolve("binary")), (std::vector<std::string>{"binary"}));
    EXPECT_TRUE(registry.resolve("").empty());
    EXPECT_TRUE(registry.resolve(";;;").empty());
}

TEST(Registry, NameFilterNamesTheTypeAndItsPattern) {
    const Registry registry = withDocumentTypes();
    EXPECT_EQ(registry.nameFilter("simpletext"), "simpletext (*.txt)");
    EXPECT_EQ(registry.nameFilter("binary"), "binary (*)");
    EXPECT_EQ(registry.nameFilter("unknown"), "");
}

struct MatchCase {
    const char* extension;
    const char* fileName;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << '"' << c.fileName << "\" as \"" << c.extension << '"';
}

class RegisteredTypeMatches : public ::testing::TestWithParam<MatchCase> {};

TEST_P(RegisteredTypeMatches, ByExtensionIgnoringCase) {
    const auto& c = GetParam();
    const filetypes::RegisteredType type{"t", "", "TYPE", c.extension};
    EXPECT_EQ(type.matches(c.fileName), c.matches) << c.fileName;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegisteredTypeMatches,
    ::testing::Values(MatchCase{"qlx", "letter.qlx", true}, MatchCase{"qlx", "LETTER.QLX", true},
                      MatchCase{"qlx", "letter.qlx.bak", false}, MatchCase{"qlx", "qlx", false},
                      MatchCase{"qlx", "letter.", false}, MatchCase{"qlx", "letter.xqlx", false},
                      // the generic binary kind takes any file
                      MatchCase{"", "anything", true}, MatchCase{"", "x.qlx", true}));

}  // namespace
