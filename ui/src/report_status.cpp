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

namespace {

// A flat button reads as plain text until it is hovered: these look like links from the start,
// and are still reached with Tab and pressed with Space.
QToolButton* makeLink(QWidget* parent, const QString& name, const QString& text) {
    auto* link = new QToolButton(parent);
    link->setObjectName(name);
    link->setText(text);
    link->setAutoRaise(true);
    QFont underlined = link->font();
    underlined.setUnderline(true);
    link->setFont(underlined);
    QPalette palette = link->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    link->setPalette(palette);
    link->setCursor(Qt::PointingHandCursor);
    link->setFocusPolicy(Qt::StrongFocus);
    return link;
}

}  // namespace

ReportStatus::ReportStatus(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("reportStatus"));

    summary_ = new ElidedLabel(this);
    summary_->setObjectName(QStringLiteral("reportSummary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    offerReason_ = new QLabel(this);
    offerReason_->setObjectName(QStringLiteral("thoroughOfferReason"));
    offerReason_->setTextFormat(Qt::PlainText);
    offerReason_->hide();
    offer_ = makeLink(this, QStringLiteral("readThoroughly"), QStringLiteral("Read thoroughly"));
    offer_->setToolTip(
        QStringLiteral("Read the document again, also across lines and past damage"));
    offer_->hide();
    connect(offer_, &QToolButton::clicked, this, &ReportStatus::thoroughReadingRequested);

    details_ = makeLink(this, QStringLiteral("reportDetails"), QStringLiteral("Details..."));
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
    layout->addWidget(offerReason_);
    layout->addWidget(offer_);
    layout->addWidget(details_);
}

void ReportStatus::setSummary(const QString& line) {
    summary_->setFullText(line);
    details_->show();
}

QString ReportStatus::summary() const {
    return summary_->fullText();
}

void ReportStatus::offerThoroughReading(const QString& why) {
    offerReason_->setText(why);
    offerReason_->setVisible(!why.isEmpty());
    offer_->show();
}

void ReportStatus::withdrawOffer() {
    offerReason_->clear();
    offerReason_->hide();
    offer_->hide();
}

bool ReportStatus::offering() const {
    return !offer_->isHidden();
}

}  // namespace ui
