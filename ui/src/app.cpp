#include "ui/app.h"

#include <QAction>
#include <exception>
#include <stdexcept>

namespace ui {

QString aboutText(const QString& longVersion) {
    const QString eol = QStringLiteral("\n");
    return QStringLiteral("QL Vodadov ") + longVersion + eol +
           QStringLiteral("The QL Vodadov developers, 2026") + eol + eol + QString() + eol;
}

}  // namespace ui

App::App(int& argc, char** argv, platform::Services services)
    : QApplication(argc, argv), services_(services) {}

App* App::instance() {
    return qobject_cast<App*>(QCoreApplication::instance());
}

bool App::FileAboutQLVodadov_Action() {
    services_.messageBox.show(ui::aboutText(longVersion_));
    return false;
}

bool App::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportUnhandledError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportUnhandledError(QStringLiteral("an unknown error"));
    }
    return false;
}

void App::reportUnhandledError(const QString& what) {
    // An error raised while the message is up (say, by a repaint behind it) must not stack
    // up message boxes without end.
    if (reporting_) {
        return;
    }
    reporting_ = true;
    try {
        services_.messageBox.show(QStringLiteral("Something went wrong, and the last command "
                                                 "was not finished:\n\n") +
                                  what);
    } catch (...) {
    }
    reporting_ = false;
}

void ApplicationAddMenuHandlers() {
    App* app = App::instance();
    if (app == nullptr || app->menuBar() == nullptr) {
        throw std::logic_error("The application object or its menu bar is missing");
    }
    QAction* about = app->menuBar()->item(QStringLiteral("FileAboutQLVodadov"));
    QObject::connect(about, &QAction::triggered, app, &App::FileAboutQLVodadov_Action);
}
