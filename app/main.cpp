#include <csignal>
#include <optional>

#include "platform/paths.h"
#include "platform/qt_services.h"
#include "startup.h"
#include "ui/app.h"

int main(int argc, char** argv) {
    // A file-size limit set by the shell would end the program in the middle of a save;
    // ignored, the save fails with EFBIG and is reported like any failed save.
    std::signal(SIGXFSZ, SIG_IGN);
    platform::QtServices services;
    App app(argc, argv, services.services());
    // A document named on the command line opens as if it had been dropped on the list.
    std::optional<std::filesystem::path> document;
    if (const QStringList arguments = App::arguments(); arguments.size() > 1) {
        document = platform::toPath(arguments.at(1));
    }
    return app::run(app, document);
}
