#include "ui/menu_bar1.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <initializer_list>

#include "ui/edit_commands.h"

namespace {

QPointer<MenuBar1> implicitInstance;

struct ItemDefinition {
    const char* name;
    const char* text;  // "-" for a separator
    const char* shortcut;
    // False: only the main window's enabling rules enable the item; it starts disabled.
    bool autoEnable = true;
    QAction::MenuRole role = QAction::NoRole;
};

QMenu* buildMenu(QMenuBar* bar, const char* name, const char* title,
                 std::initializer_list<ItemDefinition> items) {
    auto* menu = new QMenu(QString::fromUtf8(title), bar);
    menu->setObjectName(QString::fromUtf8(name));
    menu->menuAction()->setObjectName(QString::fromUtf8(name));
    bar->addMenu(menu);
    for (const ItemDefinition& entry : items) {
        auto* action = new QAction(menu);
        action->setObjectName(QString::fromUtf8(entry.name));
        action->setProperty("AutoEnable", entry.autoEnable);
        action->setEnabled(entry.autoEnable);
        action->setMenuRole(entry.role);
        if (QString::fromUtf8(entry.text) == QLatin1String("-")) {
            action->setSeparator(true);
        } else {
            action->setText(QString::fromUtf8(entry.text));
            action->setShortcut(QKeySequence(QString::fromUtf8(entry.shortcut)));
        }
        menu->addAction(action);
    }
    return menu;
}

}  // namespace

MenuBar1* MenuBar1::instance() {
    if (implicitInstance.isNull()) {
        implicitInstance = new MenuBar1;
    }
    return implicitInstance.data();
}

void MenuBar1::release() {
    delete implicitInstance.data();
}

MenuBar1::MenuBar1() {
    setObjectName(QStringLiteral("MenuBar1"));
    Untitled0();
    Untitled1();
    Untitled3();
    Untitled2();
}

// "Cmd" is Ctrl and "Option" is Alt here.
void MenuBar1::Untitled0() {
    fileMenu_ =
        buildMenu(this, "FileMenu", "&File",
                  {
                      {"FileOpen", "&Open...", "Ctrl+O"},
                      {"FileFindDocuments", "Find Documents in Disk Image...", ""},
                      {"FileReadThoroughly", "Read &Thoroughly", ""},
                      {"FileSaveAllSections", "Save All Sections...", "Ctrl+S", false},
                      {"FileSaveJustThisSection", "Save Just This Section...", "Ctrl+Alt+S", false},
                      {"UntitledSeparator", "-", ""},
                      {"FileQuit", "&Quit", "Ctrl+Q", true, QAction::QuitRole},
                      {"FileAboutQLVodadov", "About QL Vodadov...", "", true, QAction::AboutRole},
                  });
    // The program's commands answer their shortcuts from any of its windows (Technical Details
    // included), not only from the window that shows the menu bar. The Edit commands stay with
    // the window they act in.
    for (QAction* action : fileMenu_->actions()) {
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    // Off at start: the program keeps no settings between runs.
    item(QStringLiteral("FileReadThoroughly"))->setCheckable(true);
    // Leaves the event loop without asking windows to close: the main window cannot be
    // closed, only quit.
    connect(item(QStringLiteral("FileQuit")), &QAction::triggered, this,
            [] { QCoreApplication::exit(0); });
}

void MenuBar1::Untitled1() {
    editMenu_ = buildMenu(this, "EditMenu", "&Edit",
                          {
                              {"EditUndo", "&Undo", "Ctrl+Z"},
                              {"UntitledMenu1", "-", ""},
                              {"EditCut", "Cu&t", "Ctrl+X"},
                              {"EditCopy", "&Copy", "Ctrl+C"},
                              {"EditPaste", "&Paste", "Ctrl+V"},
                              {"EditClear", "&Delete", ""},
                              {"UntitledMenu0", "-", ""},
                              {"EditSelectAll", "Select &All", "Ctrl+A"},
                              {"UntitledMenu2", "-", ""},
                              {"EditFind", "&Find...", "Ctrl+F"},
                              {"EditFindNext", "Find &Next", "F3"},
                              {"EditFindPrevious", "Find Pre&vious", "Shift+F3"},
                          });
    editCommands_ = new ui::EditCommands(
        {item(QStringLiteral("EditUndo")), item(QStringLiteral("EditCut")),
         item(QStringLiteral("EditCopy")), item(QStringLiteral("EditPaste")),
         item(QStringLiteral("EditClear")), item(QStringLiteral("EditSelectAll"))},
        this);
    connect(editMenu_, &QMenu::aboutToShow, editCommands_, &ui::EditCommands::update);
}

void MenuBar1::Untitled3() {
    viewMenu_ = buildMenu(this, "ViewMenu", "&View",
                          {
                              {"ViewWrapLines", "&Wrap Lines", ""},
                              {"UntitledMenu3", "-", ""},
                              {"ViewZoomIn", "Zoom &In", "Ctrl++"},
                              {"ViewZoomOut", "Zoom &Out", "Ctrl+-"},
                              {"ViewActualSize", "&Actual Size", "Ctrl+0"},
                          });
    // On at start: the program keeps no settings between runs.
    item(QStringLiteral("ViewWrapLines"))->setCheckable(true);
    item(QStringLiteral("ViewWrapLines"))->setChecked(true);
    // Where "+" needs Shift, Ctrl+= is the same key.
    item(QStringLiteral("ViewZoomIn"))
        ->setShortcuts(
            {QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+="))});
}

void MenuBar1::Untitled2() {
    helpMenu_ = buildMenu(this, "HelpMenu", "Help",
                          {
                              {"HelpTechnicalDetails", "Technical Details...", ""},
                              {"HelpUsing", "Using QL Vodadov...", "F1"},
                          });
}

QAction* MenuBar1::item(const QString& name) const {
    return findChild<QAction*>(name);
}
