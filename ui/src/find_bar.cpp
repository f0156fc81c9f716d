#include "ui/find_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "ui/text_area.h"
#include "ui/text_area_content.h"

namespace ui {
namespace {

// Each mark is a cursor that the text keeps up to date through every edit: a text with a
// million matches of one letter would make typing crawl. Beyond this many, only those around
// the current match are marked; the count still tells them all.
constexpr qsizetype kMostMarks = 1000;

QToolButton* makeButton(QWidget* bar, const char* name, const QString& tip) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

// The text as the user sees it in a copy, whose matches are sought: a paragraph that is shown
// in pieces is one paragraph, so a match may run across an on-screen-only break.
QList<TextMatch> matchesIn(const QTextDocument* document, const QString& needle,
                           Qt::CaseSensitivity sensitivity) {
    const QString text = document->toPlainText();
    const QList<int> breaks = onScreenBreaks(document);
    QList<qsizetype> removed;
    removed.reserve(breaks.size());
    for (qsizetype index = 0; index < breaks.size(); ++index) {
        removed.append(breaks[index] - index);
    }
    return withRemovedRestored(
        findAll(withoutOnScreenBreaks(document, text, 0), needle, sensitivity), removed);
}

QTextEdit::ExtraSelection mark(QTextDocument* document, const TextMatch& match,
                               const QTextCharFormat& format) {
    QTextCursor cursor(document);
    cursor.setPosition(static_cast<int>(match.start));
    cursor.setPosition(static_cast<int>(match.start + match.length), QTextCursor::KeepAnchor);
    return {cursor, format};
}

}  // namespace

FindBar::FindBar(QPlainTextEdit* area)
    : QWidget(area), area_(area), textChanged_(new QTimer(this)) {
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);

    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("findField"));
    field_->setPlaceholderText(QStringLiteral("Find"));
    field_->setClearButtonEnabled(true);
    layout->addWidget(field_, 1);

    QToolButton* previous = makeButton(this, "findPrevious", QStringLiteral("Previous match"));
    previous->setArrowType(Qt::UpArrow);
    layout->addWidget(previous);
    QToolButton* next = makeButton(this, "findNext", QStringLiteral("Next match"));
    next->setArrowType(Qt::DownArrow);
    layout->addWidget(next);

    matchCase_ = new QCheckBox(QStringLiteral("Match case"), this);
    matchCase_->setObjectName(QStringLiteral("matchCase"));
    layout->addWidget(matchCase_);

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("findCount"));
    layout->addWidget(count_);

    QToolButton* closeButton = makeButton(this, "findClose", QStringLiteral("Close"));
    closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    layout->addWidget(closeButton);

    connect(field_, &QLineEdit::textChanged, this, [this] { search(anchor_, true); });
    connect(matchCase_, &QCheckBox::toggled, this, [this] { search(anchor_, true); });
    connect(previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(closeButton, &QToolButton::clicked, this, &FindBar::dismiss);

    // Putting a long text in place changes it many times over; it is searched once afterwards.
    textChanged_->setSingleShot(true);
    textChanged_->setInterval(0);
    connect(area_, &QPlainTextEdit::textChanged, textChanged_, [this] {
        if (!isHidden()) {
            textChanged_->start();
        }
    });
    connect(textChanged_, &QTimer::timeout, this,
            [this] { search(area_->textCursor().selectionStart(), false); });

    hide();
    setBottomPanel(area_, this);
}

void FindBar::bind(const Commands& commands) {
    connect(commands.find, &QAction::triggered, this, &FindBar::open);
    connect(commands.next, &QAction::triggered, this, &FindBar::findNext);
    connect(commands.previous, &QAction::triggered, this, &FindBar::findPrevious);
}

void FindBar::open() {
    const QTextCursor cursor = area_->textCursor();
    anchor_ = cursor.selectionStart();
    const QString selected = cursor.selectedText();
    show();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)) {
        field_->setText(selected);
    }
    search(anchor_, true);
    field_->selectAll();
    field_->setFocus();
}

bool FindBar::showPhrase(const QString& phrase) {
    {
        const QSignalBlocker quietField(field_);
        const QSignalBlocker quietCase(matchCase_);
        field_->setText(phrase);
        matchCase_->setChecked(false);
    }
    anchor_ = 0;
    search(anchor_, true);
    if (matches_.isEmpty()) {
        hide();
        area_->setExtraSelections({});
        return false;
    }
    show();
    return true;
}

void FindBar::dismiss() {
    hide();
    textChanged_->stop();
    area_->setExtraSelections({});
    area_->setFocus();
}

void FindBar::findNext() {
    step(1);
}

void FindBar::findPrevious() {
    step(-1);
}

void FindBar::step(int direction) {
    if (isHidden() || field_->text().isEmpty()) {
        open();
        return;
    }
    if (textChanged_->isActive()) {  // the matches are of a text that has changed since
        textChanged_->stop();
        search(area_->textCursor().selectionStart(), false);
    }
    current_ = stepMatch(current_, matches_.size(), direction);
    if (current_ >= 0) {
        anchor_ = matches_[current_].start;
        selectCurrent();
    }
    showMatches();
}

void FindBar::search(qsizetype from, bool select) {
    const Qt::CaseSensitivity sensitivity =
        matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    matches_ = matchesIn(area_->document(), field_->text(), sensitivity);
    current_ = matchFrom(matches_, from);
    if (select && current_ >= 0) {
        selectCurrent();
    }
    showMatches();
}

void FindBar::selectCurrent() {
    QTextCursor cursor = mark(area_->document(), matches_[current_], {}).cursor;
    area_->setTextCursor(cursor);
}

void FindBar::showMatches() {
    if (field_->text().isEmpty()) {
        count_->clear();
    } else if (matches_.isEmpty()) {
        count_->setText(QStringLiteral("No matches"));
    } else {
        count_->setText(QStringLiteral("%1 of %2").arg(current_ + 1).arg(matches_.size()));
    }

    // The theme's selection colours, faint for every match and in full for the current one, read
    // on light and dark backgrounds alike.
    const QPalette palette = area_->palette();
    QTextCharFormat every;
    QColor faint = palette.color(QPalette::Highlight);
    faint.setAlpha(80);
    every.setBackground(faint);
    QTextCharFormat current;
    current.setBackground(palette.color(QPalette::Highlight));
    current.setForeground(palette.color(QPalette::HighlightedText));

    const qsizetype first = std::clamp<qsizetype>(
        current_ - kMostMarks / 2, 0, std::max<qsizetype>(matches_.size() - kMostMarks, 0));
    const qsizetype end = std::min(matches_.size(), first + kMostMarks);
    QList<QTextEdit::ExtraSelection> marks;
    marks.reserve(end - first);
    for (qsizetype index = first; index < end; ++index) {
        marks.append(mark(area_->document(), matches_[index], index == current_ ? current : every));
    }
    area_->setExtraSelections(marks);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    const bool back = event->modifiers().testFlag(Qt::ShiftModifier);
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F3:
            step(back ? -1 : 1);
            break;
        case Qt::Key_Escape:
            dismiss();
            break;
        default:
            break;
    }
    // Keys the field leaves alone must not reach the text below: Enter there is a new line.
    event->accept();
}

}  // namespace ui
