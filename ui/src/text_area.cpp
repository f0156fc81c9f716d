#include "ui/text_area.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>

#include "ui/file_drop_target.h"
#include "ui/text_area_content.h"

namespace ui {
namespace {

// A file dragged onto the text is a document that missed the list, not text: taken as text,
// its address would land in the recovered text without a word. Such a drag is refused, so the
// pointer shows at once that the text does not take it; dragged text is taken as before.
class FileDropRefusal final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
            firstDroppedFile(static_cast<QDropEvent*>(event)->mimeData())) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// What is copied or dragged out of the text is the text itself, without the breaks that only
// split a long paragraph on screen.
class TextArea final : public QPlainTextEdit {
  public:
    using QPlainTextEdit::QPlainTextEdit;

    void setBottomPanel(QWidget* panel) {
        panel_ = panel;
        panel->installEventFilter(this);
        placePanel();
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QPlainTextEdit::resizeEvent(event);
        placePanel();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == panel_ &&
            (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent ||
             event->type() == QEvent::LayoutRequest)) {
            placePanel();
        }
        return QPlainTextEdit::eventFilter(watched, event);
    }

    QMimeData* createMimeDataFromSelection() const override {
        QMimeData* selected = QPlainTextEdit::createMimeDataFromSelection();
        if (selected == nullptr || !selected->hasText()) {
            return selected;
        }
        auto* kept = new QMimeData;
        kept->setText(
            withoutOnScreenBreaks(document(), selected->text(), textCursor().selectionStart()));
        delete selected;
        return kept;
    }

  private:
    // The text gives up the room the panel takes, so that nothing of it hides behind the panel.
    void placePanel() {
        if (panel_ == nullptr) {
            return;
        }
        const int height = panel_->isHidden() ? 0 : panel_->sizeHint().height();
        setViewportMargins(0, 0, 0, height);
        const QRect text = viewport()->geometry();
        panel_->setGeometry(text.left(), text.bottom() + 1, text.width(), height);
    }

    QPointer<QWidget> panel_;
};

}  // namespace

QPlainTextEdit* makeTextArea(QWidget* parent, const QString& objectName) {
    auto* area = new TextArea(parent);
    area->setObjectName(objectName);
    area->setFrameShape(QFrame::StyledPanel);
    area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setTabChangesFocus(true);
    QPalette palette = area->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    area->setPalette(palette);
    auto* refusal = new FileDropRefusal(area);
    area->installEventFilter(refusal);
    area->viewport()->installEventFilter(refusal);
    return area;
}

void setBottomPanel(QPlainTextEdit* area, QWidget* panel) {
    if (auto* textArea = dynamic_cast<TextArea*>(area)) {
        textArea->setBottomPanel(panel);
    }
}

}  // namespace ui
