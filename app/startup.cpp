#include "startup.h"

#include <exception>

#include "filetypes/file_types.h"
#include "qlv/version.h"
#include "ui/app.h"
#include "ui/help_window.h"
#include "ui/menu_bar1.h"
#include "ui/using_window.h"
#include "ui/window1.h"

namespace app {

void startUp(App& app) {
    app.setLongVersion(QStringLiteral(QLV_VERSION));
    FileTypes::Initialize();
    app.setMenuBar(MenuBar1::instance());
    ApplicationAddMenuHandlers();
    Window1::instance();
}

void shutDown() {
    MenuBar1::release();
    FileTypes::Release();
    helpWindow::release();
    ui::UsingWindow::release();
    Window1::release();
}

int run(App& app, const std::optional<std::filesystem::path>& document) {
    int status = 1;
    try {
        startUp(app);
        if (document) {
            Window1::instance()->openDocument(*document);
        }
        status = App::exec();
    } catch (const std::exception& error) {
        app.reportUnhandledError(QString::fromUtf8(error.what()));
    } catch (...) {
        app.reportUnhandledError(QStringLiteral("an unknown error"));
    }
    shutDown();
    return status;
}

}  // namespace app
