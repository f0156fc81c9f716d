#include "ui/report_status.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QToolButton>

namespace ui {

// A one-line label that ends in "…" where its text does not fit, rather than cutting it off
// mid-word or widening the window past its minimum size.
class ElidedLabel final : public QLabel {
  public:
    using QLabel::QLabel;

    void setFullText(const QString& text) {
        fullText_ = text;
        setToolTip(text);
        elide();
    }
    const QString& fullText() const { return fullText_; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        elide();
    }

  private:
    void elide() { setText(fontMetrics().elidedText(fullText_, Qt::ElideRight, width())); }

    QString fullText_;
};

ReportStatus::ReportStatus(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("reportStatus"));

    summary_ = new ElidedLabel(this);
    summary_->setObjectName(QStringLiteral("reportSummary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    details_ = new QToolButton(this);
    details_->setObjectName(QStringLiteral("reportDetails"));
    details_->setText(QStringLiteral("Details..."));
    details_->setAutoRaise(true);
    // A flat button reads as plain text until it is hovered: this one looks like a link from
    // the start, and is still reached with Tab and pressed with Space.
    QFont underlined = details_->font();
    underlined.setUnderline(true);
    details_->setFont(underlined);
    QPalette link = details_->palette();
    link.setColor(QPalette::ButtonText, link.color(QPalette::Link));
    details_->setPalette(link);
    details_->setCursor(Qt::PointingHandCursor);
    details_->setFocusPolicy(Qt::StrongFocus);
    // Hidden, the button still keeps its room, so that the status bar, and with it the
    // controls above, keep their height when the first report arrives.
    QSizePolicy keepRoom = details_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    details_->setSizePolicy(keepRoom);
    details_->hide();
    connect(details_, &QToolButton::clicked, this, &ReportStatus::detailsRequested);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 0, 0);
    layout->addWidget(summary_, 1);
    layout->addWidget(details_);
}

void ReportStatus::setSummary(const QString& line) {
    summary_->setFullText(line);
    details_->show();
}

QString ReportStatus::summary() const {
    return summary_->fullText();
}

}  // namespace ui
