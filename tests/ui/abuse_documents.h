#pragma once

#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "ui_test_support.h"

namespace abuse {

using ui_test::SectionData;

// A document the run drops, and what the window must make of it.
struct Document {
    enum class Kind {
        Good,        // read: its sections are listed
        Refused,     // read, but no document: the first line is no XML header
        Unreadable,  // no file to read
        NotAFile,    // a drag of a web address: the list does not take it
    };
    Kind kind = Kind::Good;
    std::filesystem::path path;
    // For a good document: the sections as the window must hold them (a later section of the
    // same name replaces the earlier text in place) and the name saves are offered under.
    std::vector<SectionData> sections;
    std::string filename;
};

// Sections in the order a reader keeps them.
inline std::vector<SectionData> keptSections(const std::vector<SectionData>& written) {
    std::vector<SectionData> kept;
    for (const SectionData& section : written) {
        auto same = std::ranges::find(kept, section.name, &SectionData::name);
        if (same == kept.end()) {
            kept.push_back(section);
        } else {
            same->text = section.text;
        }
    }
    return kept;
}

// Every kind of document the run drops, written once into one folder.
class Library {
  public:
    Library() {
        std::mt19937 random(7);  // fixed: the same documents on every run
        for (int index = 0; index < 24; ++index) {
            addGood(index, randomSections(random, index == 0 ? 0 : 1 + index % 12), index % 3 == 0);
        }
        addHuge();
        addOther(Document::Kind::Refused, "empty.qlx", "");
        addOther(Document::Kind::Refused, "blank-first.qlx", "\n<?xml version=\"1.0\"?>\n");
        addOther(Document::Kind::Refused, "no-space.qll",
                 "<?xml\n<Section name=\"QQ==\">QQ==</Section>\n");
        addOther(Document::Kind::Refused, "zip.qlx", std::string("PK\x03\x04\0\0 zip", 10));
        addOther(Document::Kind::Refused, "bare.qlx",
                 "<Section name=\"" + ui_test::base64("x") + "\">" + ui_test::base64("y"));
        documents_.push_back({Document::Kind::Unreadable, path("gone.qlx"), {}, {}});
        std::filesystem::create_directory(path("folder.qlx"));
        documents_.push_back({Document::Kind::Unreadable, path("folder.qlx"), {}, {}});
        documents_.push_back(
            {Document::Kind::Good,
             ui_test::writeFile(dir_, "notes.txt", ui_test::documentText({{"A", "a"}})),
             {{"A", "a"}},
             "notes.txt"});
        documents_.push_back({Document::Kind::NotAFile, {}, {}, {}});
    }

    const std::vector<Document>& documents() const { return documents_; }
    const Document& huge() const { return documents_.at(hugeIndex_); }

  private:
    std::filesystem::path path(const std::string& name) const {
        return std::filesystem::path(dir_.path().toStdString()) / name;
    }

    static std::string pick(std::mt19937& random, std::span<const char* const> choices) {
        return choices[std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(random)];
    }

    // Names repeat often, so documents hold duplicates; texts mix line breaks, bytes that are
    // not UTF-8, NUL, no-break spaces and characters outside the basic plane.
    static std::vector<SectionData> randomSections(std::mt19937& random, int count) {
        static constexpr std::array kNames = {
            "Heading",       "Heading", "",         "Z\xC3\xBCrich \xE2\x80\x94 day",
            "bad \xFF name", "a/b\x01", "Greeting", "  spaced  ",
            "Dup",           "Dup",     "Closing",  "\xF0\x9F\x93\x9C scroll"};
        static constexpr std::array kPieces = {
            "Dear Ingrid, ",    "\n",           "\r\n",        "\r",           "\xC2\xA0",
            "\xFF\xFE",         "\t",           "x",           "\xE2\x80\xA8", "\xE2\x80\xA9",
            "\xF0\x9F\x98\x80", "caf\xC3\xA9 ", "<b>&amp;</b>"};
        std::vector<SectionData> sections;
        for (int i = 0; i < count; ++i) {
            std::string text;
            const int pieces = std::uniform_int_distribution<int>(0, 6)(random);
            for (int p = 0; p < pieces; ++p) {
                text += pick(random, kPieces);
            }
            if (random() % 9 == 0) {
                text += std::string("\0", 1);
            }
            sections.push_back({pick(random, kNames), text});
        }
        return sections;
    }

    void addGood(int index, const std::vector<SectionData>& written, bool crlf) {
        static constexpr std::array kExtensions = {".qlx", ".qll", ".qlx.qll", ".QLX"};
        const std::string base = "doc-" + std::to_string(index);
        std::string bytes = ui_test::documentText(written);
        if (crlf) {
            std::string converted;
            for (char c : bytes) {
                converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
            }
            bytes = std::move(converted);
        }
        const std::string name =
            base + kExtensions[static_cast<std::size_t>(index) % kExtensions.size()];
        documents_.push_back({Document::Kind::Good, ui_test::writeFile(dir_, name, bytes),
                              keptSections(written), base});
    }

    // A few MiB: thousands of sections and one long text.
    void addHuge() {
        std::vector<SectionData> written;
        for (int i = 0; i < 3000; ++i) {
            written.push_back(
                {"Part " + std::to_string(i), std::string(700, static_cast<char>('a' + i % 26))});
        }
        std::string longText;
        while (longText.size() < (1u << 20)) {
            longText += "A long line of the recovered novel, with caf\xC3\xA9 in it.\n";
        }
        written.push_back({"Long", longText});
        hugeIndex_ = documents_.size();
        addGood(9999, written, false);
    }

    void addOther(Document::Kind kind, const std::string& name, const std::string& bytes) {
        documents_.push_back({kind, ui_test::writeFile(dir_, name, bytes), {}, {}});
    }

    QTemporaryDir dir_;
    std::vector<Document> documents_;
    std::size_t hugeIndex_ = 0;
};

}  // namespace abuse
