// How long the main window takes, offscreen, to list a large document after it is dropped, and
// to show a large section once it is selected. Prints the medians of a few rounds. Then how
// well the window answers while it reads the document on its worker thread: the longest gap
// between two turns of its event loop, and how soon Cancel lets go of the reading.
//
//   QT_QPA_PLATFORM=offscreen window_bench [rounds]
//   QT_QPA_PLATFORM=offscreen window_bench --list FILE
//   QT_QPA_PLATFORM=offscreen window_bench --filter FILE PHRASE
//   QT_QPA_PLATFORM=offscreen window_bench --background FILE
//
// The document (256 MiB, 30,000 sections, two of them 4 MiB of text: one in many lines, one
// with no line break at all) is made in the temporary folder and removed at the end. With
// --list, the window lists FILE once (e.g. a million tiny sections from make_documents.py) and
// the time and the process's peak memory are printed. With --filter, the window lists FILE and
// PHRASE is typed into the filter field one character at a time: the time each keystroke takes
// to list what it matches is printed. With --background, only the window's answers while it
// reads FILE (e.g. 1 GiB from make_documents.py) are measured.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base64_encoder.h"
#include "platform/test_doubles.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "ui/window1.h"

namespace {

using qlv::encodeBase64;

std::string prose(std::size_t size) {
    static const std::string words[] = {"the ",    "letter ",  "café ", "Zürich ",
                                        "river, ", "draft.\n", "— ",    "morning "};
    std::string text;
    text.reserve(size + 16);
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += words[(i * 7 + i / 3) % std::size(words)];
    }
    text.resize(size - size % 3);
    return text;
}

constexpr int kSections = 30'000;
constexpr int kBigSection = 12'345;
constexpr int kUnbrokenSection = 23'456;  // as big, one paragraph
constexpr std::size_t kBigText = std::size_t{4} << 20;
constexpr std::size_t kDocumentBytes = std::size_t{256} << 20;

void writeDocument(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\n<QuilloraDocument>\n";
    const std::string big = encodeBase64(prose(kBigText + 3));
    std::string unbrokenText = prose(kBigText + 3);
    std::replace(unbrokenText.begin(), unbrokenText.end(), '\n', ' ');
    const std::string unbroken = encodeBase64(unbrokenText);
    const std::size_t each = (kDocumentBytes - 2 * big.size()) / kSections;
    const std::string body = encodeBase64(prose(each / 4 * 3));
    for (int i = 0; i < kSections; ++i) {
        out << "<Section name=\"" << encodeBase64("Section " + std::to_string(1000000 + i))
            << "\" style=\"body\">"
            << (i == kBigSection        ? big
                : i == kUnbrokenSection ? unbroken
                                        : body)
            << "</Section>\n";
    }
    out << "</QuilloraDocument>\n";
}

// The process's peak resident memory, in MiB (Linux).
double peakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024;
        }
    }
    return -1;
}

int listOnce(const std::filesystem::path& path) {
    platform::FakeServices fakes;
    Window1 window(fakes.services());
    window.show();
    QCoreApplication::processEvents();
    const double before = peakMemoryMiB();
    QElapsedTimer timer;
    timer.start();
    window.parseFile(path);
    const double read = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    window.displayFile();
    QCoreApplication::processEvents();  // the list laid out and painted
    const double listed = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    auto* list = window.findChild<QTreeView*>(QStringLiteral("sectionList"));
    std::printf(
        "%s: %d rows listed %.3f s after the drop (reading: %.3f s); peak memory %.0f MiB "
        "(%.0f MiB before the drop); goal 1 s and 256 MiB\n",
        path.filename().c_str(), list->model()->rowCount(), listed, read, peakMemoryMiB(), before);
    return 0;
}

int filterOnce(const std::filesystem::path& path, const QString& phrase) {
    platform::FakeServices fakes;
    Window1 window(fakes.services());
    window.show();
    if (!window.parseFile(path)) {
        std::fprintf(stderr, "window_bench: %s was refused\n", path.c_str());
        return 1;
    }
    window.displayFile();
    QCoreApplication::processEvents();
    auto* field = window.findChild<QLineEdit*>(QStringLiteral("sectionFilter"));
    auto* list = window.findChild<QTreeView*>(QStringLiteral("sectionList"));
    std::printf("%s: %zu sections; goal 0.1 s a keystroke from the third character on\n",
                path.filename().c_str(), window.contents()->size());
    for (qsizetype typed = 1; typed <= phrase.size(); ++typed) {
        QElapsedTimer timer;
        timer.start();
        field->setText(phrase.left(typed));
        QCoreApplication::processEvents();  // the list laid out and painted
        std::printf("  \"%s\": %.3f s, %d rows\n", phrase.left(typed).toUtf8().constData(),
                    static_cast<double>(timer.nsecsElapsed()) / 1e9, list->model()->rowCount());
    }
    return 0;
}

double seconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Runs the event loop with a timer ticking every few milliseconds until `done` holds, and gives
// the longest time between two ticks (the drop's own turn counted) and the last gap, which
// ends with `done`.
struct Gaps {
    double longest = 0;
    double last = 0;
};
template <typename Start, typename Done>
Gaps turnsUntil(Start start, Done done) {
    QElapsedTimer clock;
    clock.start();
    start();
    Gaps gaps{seconds(clock), 0};
    double previous = seconds(clock);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = seconds(clock);
        if (done()) {
            gaps.last = now - previous;
            loop.quit();
            return;
        }
        gaps.longest = std::max(gaps.longest, now - previous);
        previous = now;
    });
    tick.start();
    loop.exec();
    return gaps;
}

// The window reading `path` off its thread, as a drop does: how it answers meanwhile, that the
// result is the one read on this thread, and how soon Cancel lets go of a reading.
int measureBackgroundReading(const std::filesystem::path& path, bool compare) {
    platform::FakeServices fakes;
    Window1 window(fakes.services());
    window.show();
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    const Gaps read =
        turnsUntil([&] { window.openDocument(path); }, [&] { return !window.isReading(); });
    const double total = seconds(timer);
    if (window.contents() == nullptr) {
        std::fprintf(stderr, "window_bench: %s was not accepted\n", path.c_str());
        return 1;
    }
    std::printf(
        "read in the background: %.3f s; longest gap between event-loop turns while reading "
        "%.1f ms (goal 50 ms), the turn that lists it %.1f ms\n",
        total, read.longest * 1e3, read.last * 1e3);
    if (compare) {
        const bool same = salvage::exportText(*window.contents()) ==
                          salvage::exportText(salvage::parseFile(path).document.contents);
        std::printf("the same as read on the window's thread: %s\n", same ? "yes" : "NO");
        if (!same) {
            return 1;
        }
    }

    // Cancel once the reading's progress shows.
    const std::size_t sectionsBefore = window.contents()->size();
    window.openDocument(path);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    if (!window.isReading()) {
        std::printf("Cancel: not measured, the reading ended within 0.3 s\n");
        return 0;
    }
    auto* cancel = window.findChild<QPushButton*>(QStringLiteral("cancelReadingButton"));
    timer.restart();
    cancel->click();
    const double returned = seconds(timer);
    QThreadPool::globalInstance()->waitForDone();
    const double stopped = seconds(timer);
    const bool kept = !window.isReading() && window.contents()->size() == sectionsBefore;
    std::printf(
        "Cancel: the window free again after %.2f ms, the reading's thread ended after %.1f ms "
        "(goal 200 ms); the document shown %s\n",
        returned * 1e3, stopped * 1e3, kept ? "kept" : "NOT KEPT");
    return kept ? 0 : 1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0) {
        return listOnce(argv[2]);
    }
    if (argc == 4 && std::strcmp(argv[1], "--filter") == 0) {
        return filterOnce(argv[2], QString::fromUtf8(argv[3]));
    }
    if (argc == 3 && std::strcmp(argv[1], "--background") == 0) {
        return measureBackgroundReading(argv[2], false);
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const auto path =
        std::filesystem::temp_directory_path() /
        ("qlv-window-bench-" + std::to_string(QCoreApplication::applicationPid()) + ".qlx");
    writeDocument(path);
    std::printf("document: %.0f MiB, %d sections, section %d holds %zu bytes of text\n",
                static_cast<double>(std::filesystem::file_size(path)) / (1 << 20), kSections,
                kBigSection, kBigText);

    platform::FakeServices fakes;
    Window1 window(fakes.services());
    window.show();
    QCoreApplication::processEvents();
    auto* list = window.findChild<QTreeView*>(QStringLiteral("sectionList"));
    auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("sectionText"));

    std::vector<double> listed, parsed, shown, unbrokenShown;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const bool accepted = window.parseFile(path);
        parsed.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        window.displayFile();
        QCoreApplication::processEvents();  // the list laid out and painted
        listed.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (!accepted || list->model()->rowCount() != kSections) {
            std::fprintf(stderr, "window_bench: the document was not listed whole (%d, %d rows)\n",
                         accepted ? 1 : 0, list->model()->rowCount());
            std::filesystem::remove(path);
            return 1;
        }

        for (auto [section, times] :
             {std::pair{kBigSection, &shown}, {kUnbrokenSection, &unbrokenShown}}) {
            timer.restart();
            list->setCurrentIndex(list->model()->index(section, 0));
            QCoreApplication::processEvents();  // the text laid out and painted
            times->push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
            if (text->document()->characterCount() < 1000) {
                std::fprintf(stderr, "window_bench: the section's text was not shown\n");
                std::filesystem::remove(path);
                return 1;
            }
            list->clearSelection();
            QCoreApplication::processEvents();
        }
    }
    // Where showing a section goes: the text's conversion, and the text area taking it.
    const std::string bigText(window.contents()->operator[](kBigSection).text);
    std::vector<double> converted, taken;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const QString qtext =
            QString::fromUtf8(bigText.data(), static_cast<qsizetype>(bigText.size()));
        converted.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        timer.restart();
        QPlainTextEdit area;
        area.resize(400, 300);
        area.show();
        area.setPlainText(qtext);
        QCoreApplication::processEvents();
        taken.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    const int background = measureBackgroundReading(path, true);
    std::filesystem::remove(path);
    std::printf("drop to listed: median %.3f s, first %.3f s (reading: %.3f s); goal 1 s\n",
                median(listed), listed.front(), median(parsed));
    std::printf("select to shown (4 MiB section): median %.3f s, first %.3f s; goal 0.2 s\n",
                median(shown), shown.front());
    std::printf(
        "select to shown (4 MiB section, no line break): median %.3f s, first %.3f s; goal "
        "0.3 s\n",
        median(unbrokenShown), unbrokenShown.front());
    std::printf(
        "  of which QString::fromUtf8: %.3f s, a QPlainTextEdit's setPlainText and paint: "
        "%.3f s\n",
        median(converted), median(taken));
    return background;
}
