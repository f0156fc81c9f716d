#pragma once

#include <QMenuBar>
#include <QString>

class QAction;
class QMenu;

namespace ui {
class EditCommands;
}

// The program's one menu bar: File, Edit, View and Help. Items are QActions whose objectName is
// the item's name; the window and the application bind their commands to them by that name.
class MenuBar1 final : public QMenuBar {
    Q_OBJECT
  public:
    // The one instance, made with its menus on first use. Whoever shows it owns it.
    static MenuBar1* instance();
    // Destroys the instance, if one is alive.
    static void release();

    // The item of this name at any depth (a menu's own item included), or null.
    QAction* item(const QString& name) const;

    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* editMenu() const { return editMenu_; }
    QMenu* viewMenu() const { return viewMenu_; }
    QMenu* helpMenu() const { return helpMenu_; }
    ui::EditCommands* editCommands() const { return editCommands_; }

  private:
    MenuBar1();
    void Untitled0();  // File
    void Untitled1();  // Edit
    void Untitled2();  // Help
    void Untitled3();  // View, between Edit and Help

    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    ui::EditCommands* editCommands_ = nullptr;
};
