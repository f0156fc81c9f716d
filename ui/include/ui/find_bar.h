#pragma once

#include <QList>
#include <QWidget>

#include "ui/text_search.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

namespace ui {

// A bar along the bottom of a text area that finds text in it as the user types: Enter and F3
// go to the next match, Shift with them to the previous one, both wrapping around; Escape
// closes the bar and gives the focus back to the text. Matches are marked over the text, not
// in it: the text, its edited state and its undo steps stay as they are.
class FindBar final : public QWidget {
    Q_OBJECT
  public:
    // The bar starts hidden, as a panel of `area` (which makeTextArea made).
    explicit FindBar(QPlainTextEdit* area);

    struct Commands {
        QAction* find;
        QAction* next;
        QAction* previous;
    };
    void bind(const Commands& commands);

    // Shows the bar with the focus in its field, holding the text selected in the area if any.
    void open();
    // Shows the bar at the first match of `phrase`, in any case, leaving the focus where it
    // is; hides it, and returns false, when the text holds none.
    bool showPhrase(const QString& phrase);
    void dismiss();
    void findNext();
    void findPrevious();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Finds the matches again; the current one is the first at or after `from`. Only moving
    // through the matches selects one in the text: an edit of the text must not move its cursor.
    void search(qsizetype from, bool select);
    void step(int direction);
    void selectCurrent();
    void showMatches();

    QPlainTextEdit* area_;
    QTimer* textChanged_;
    QLineEdit* field_;
    QCheckBox* matchCase_;
    QLabel* count_;
    QList<TextMatch> matches_;
    qsizetype current_ = -1;
    // Where finding as the user types starts: where the bar was opened or the current match.
    qsizetype anchor_ = 0;
};

}  // namespace ui
