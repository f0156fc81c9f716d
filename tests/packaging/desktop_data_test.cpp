// The desktop integration files against each other and against the program's own file-type
// table: a document type the program opens must be one the desktop knows and offers to it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "filetypes/definitions.h"
#include "qlv/version.h"

namespace {

const std::filesystem::path kDataDir = QLV_DATA_DIR;
const std::string kAppId = QLV_APP_ID;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> allMatches(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
         ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

// The value of a key in the desktop entry, or empty.
std::string desktopKey(const std::string& entry, const std::string& key) {
    const auto values = allMatches(entry, "(?:^|\n)" + key + "=([^\n]*)");
    return values.empty() ? std::string() : values.front();
}

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> items;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ';');) {
        if (!item.empty())
            items.push_back(item);
    }
    return items;
}

struct MimeType {
    std::string name;
    std::string body;  // everything between <mime-type ...> and </mime-type>
};

std::vector<MimeType> mimeTypes(const std::string& xml) {
    std::vector<MimeType> types;
    const std::regex re(R"re(<mime-type\s+type="([^"]+)"\s*>([\s\S]*?)</mime-type>)re");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), re); it != std::sregex_iterator();
         ++it) {
        types.push_back({(*it)[1].str(), (*it)[2].str()});
    }
    return types;
}

std::vector<FileTypes::Definition> documentTypes() {
    std::vector<FileTypes::Definition> found;
    for (const auto& type : FileTypes::kDefinitions) {
        if (type.name.starts_with("Quillora"))
            found.push_back(type);
    }
    return found;
}

class DesktopData : public ::testing::Test {
  protected:
    std::string mimeXml = readFile(kDataDir / "qlvodadov.xml");
    std::string desktop = readFile(kDataDir / (kAppId + ".desktop"));
    std::string metainfo = readFile(kDataDir / (kAppId + ".metainfo.xml"));
};

TEST_F(DesktopData, EveryDocumentTypeHasAMimeTypeWithItsGlobAndName) {
    const auto documents = documentTypes();
    ASSERT_EQ(documents.size(), 2u) << "expected the two Quillora document types";
    const auto types = mimeTypes(mimeXml);

    for (const auto& document : documents) {
        SCOPED_TRACE(std::string(document.name));
        ASSERT_FALSE(document.extension.empty());
        const std::string glob = "<glob pattern=\"*." + std::string(document.extension) + "\"/>";
        int owners = 0;
        for (const auto& type : types) {
            if (type.body.find(glob) == std::string::npos)
                continue;
            ++owners;
            EXPECT_NE(type.body.find("<sub-class-of type=\"application/xml\"/>"), std::string::npos)
                << type.name << " must be a kind of XML";
            EXPECT_NE(type.body.find("<comment>" + std::string(document.name)), std::string::npos)
                << type.name << " must be described by the type's name";
        }
        EXPECT_EQ(owners, 1) << "*." << document.extension
                             << " must belong to exactly one MIME type";
    }
    EXPECT_EQ(types.size(), documents.size()) << "a MIME type for no document type";
}

TEST_F(DesktopData, LauncherAndMetainfoOfferExactlyTheDefinedMimeTypes) {
    std::vector<std::string> defined;
    for (const auto& type : mimeTypes(mimeXml))
        defined.push_back(type.name);
    ASSERT_FALSE(defined.empty());

    EXPECT_EQ(splitList(desktopKey(desktop, "MimeType")), defined);
    EXPECT_EQ(allMatches(metainfo, "<mediatype>([^<]*)</mediatype>"), defined);
}

TEST_F(DesktopData, LauncherOpensOneFileWithTheInstalledProgram) {
    EXPECT_EQ(desktopKey(desktop, "Exec"), std::string(QLV_GUI_PROGRAM) + " %f");
    EXPECT_EQ(desktopKey(desktop, "TryExec"), QLV_GUI_PROGRAM);
    const std::string icon = desktopKey(desktop, "Icon");
    EXPECT_EQ(icon, kAppId);
    EXPECT_TRUE(std::filesystem::is_regular_file(kDataDir / (icon + ".svg")));
}

TEST_F(DesktopData, MetainfoNamesTheLauncherAndTheCurrentRelease) {
    EXPECT_EQ(allMatches(metainfo, "<id>([^<]*)</id>"), std::vector<std::string>{kAppId});
    EXPECT_EQ(allMatches(metainfo, R"re(<launchable type="desktop-id">([^<]*)</launchable>)re"),
              std::vector<std::string>{kAppId + ".desktop"});

    // The newest release comes first; a version bump without a release entry leaves software
    // centres announcing the old version.
    const auto releases = allMatches(metainfo, R"re(<release\s+version="([^"]*)")re");
    ASSERT_FALSE(releases.empty());
    EXPECT_EQ(releases.front(), QLV_VERSION);

    std::vector<std::string> binaries = allMatches(metainfo, "<binary>([^<]*)</binary>");
    EXPECT_EQ(binaries, (std::vector<std::string>{QLV_GUI_PROGRAM, QLV_CLI_PROGRAM}));
}

}  // namespace
