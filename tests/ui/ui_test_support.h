#pragma once

#include <QAbstractItemView>
#include <QByteArray>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/test_doubles.h"
#include "ui/app.h"

namespace ui_test {

// The services the test's App was made with.
inline platform::FakeServices& appServices() {
    static platform::FakeServices services;
    return services;
}

struct SectionData {
    std::string name;
    std::string text;
};

inline std::string base64(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toBase64().toStdString();
}

// A document as Quillora writes it: the XML header, then one line per section.
inline std::string documentText(const std::vector<SectionData>& sections) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document>\n";
    for (const auto& section : sections) {
        text += "<Section name=\"" + base64(section.name) + "\">" + base64(section.text) +
                "</Section>\n";
    }
    return text + "</Document>\n";
}

// A document with damage of every kind the reader tells of: Base64 with a byte outside its
// alphabet, a text that is not valid UTF-8, a section line indented so that it is skipped, and
// a name that occurs twice.
inline std::string damagedDocumentText() {
    const auto line = [](const char* indent, const std::string& name, const std::string& body) {
        return indent + ("<Section name=\"" + base64(name) + "\">") + body + "</Section>\n";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document>\n" +
           line("", "Greeting", "RGVhciBHcmFu*ZG1vdGhlciBJbmdyaWQs") +
           line("", "Closing", base64("With love \xFF")) + line("", "News", base64("draft")) +
           line("  ", "Deleted", base64("gone")) + line("", "News", base64("final")) +
           "</Document>\n";
}

inline std::filesystem::path writeFile(const QTemporaryDir& dir, const std::string& name,
                                       const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::path(dir.path().toStdString()) / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// What a view's cell shows.
inline QString cellText(const QAbstractItemView* view, int row, int column) {
    return view->model()->index(row, column).data().toString();
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline QUrl fileUrl(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

struct DropOutcome {
    bool accepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// Drags `data` onto `target` and drops it there, as the windowing system would: enter, move,
// drop. The drop happens only when the target accepted the drag. Work the drop queued runs
// before this returns.
inline DropOutcome dragAndDrop(QWidget* target, const QMimeData& data,
                               Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction,
                               Qt::DropAction proposed = Qt::MoveAction) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), possible, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(proposed);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return {};
    }
    QDragMoveEvent move(at.toPoint(), possible, &data, Qt::LeftButton, Qt::NoModifier);
    move.setDropAction(proposed);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(at, possible, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(proposed);
    QCoreApplication::sendEvent(target, &drop);
    QCoreApplication::sendPostedEvents();
    return {drop.isAccepted(), drop.dropAction()};
}

inline DropOutcome dropFiles(QWidget* target, const std::vector<std::filesystem::path>& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& file : files) {
        urls.append(fileUrl(file));
    }
    data.setUrls(urls);
    return dragAndDrop(target, data);
}

}  // namespace ui_test

// A Qt Test main whose application object is the program's own, with test doubles in place of
// anything that would wait for a user.
#define QLV_UI_TEST_MAIN(TestObject)                            \
    int main(int argc, char** argv) {                           \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {   \
            qputenv("QT_QPA_PLATFORM", "offscreen");            \
        }                                                       \
        App app(argc, argv, ui_test::appServices().services()); \
        TestObject test;                                        \
        return QTest::qExec(&test, argc, argv);                 \
    }
