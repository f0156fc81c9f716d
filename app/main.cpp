#include <optional>

#include "platform/paths.h"
#include "platform/qt_services.h"
#include "startup.h"
#include "ui/app.h"

int main(int argc, char** argv) {
    platform::QtServices services;
    App app(argc, argv, services.services());
    // A document named on the command line opens as if it had been dropped on the list.
    std::optional<std::filesystem::path> document;
    if (const QStringList arguments = App::arguments(); arguments.size() > 1) {
        document = platform::toPath(arguments.at(1));
    }
    return app::run(app, document);
}
