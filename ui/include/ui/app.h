#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

#include "platform/services.h"
#include "ui/menu_bar1.h"

// The application object: holds the menu bar, shows the About box, and is the one place
// where an error that escaped an event handler is caught, shown, and left behind.
class App final : public QApplication {
    Q_OBJECT
  public:
    App(int& argc, char** argv, platform::Services services);

    // The running application object, or null when there is none (or it is not an App).
    static App* instance();

    platform::Services services() const { return services_; }

    void setMenuBar(MenuBar1* menuBar) { menuBar_ = menuBar; }
    MenuBar1* menuBar() const { return menuBar_.data(); }

    const QString& LongVersion() const { return longVersion_; }
    void setLongVersion(QString version) { longVersion_ = std::move(version); }

    // The About box. Returns false, like every menu handler of the program.
    bool FileAboutQLVodadov_Action();

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows what went wrong; the program goes on.
    void reportUnhandledError(const QString& what);

  private:
    platform::Services services_;
    QPointer<MenuBar1> menuBar_;
    QString longVersion_;
    bool reporting_ = false;
};

// Binds the About item of the application's menu bar to the application object. Throws
// std::logic_error when there is no application object or it has no menu bar.
void ApplicationAddMenuHandlers();

namespace ui {
// "QL Vodadov " + version, EOL, the maker and year, EOL, EOL, EOL.
QString aboutText(const QString& longVersion);
}  // namespace ui
