#include "ui/report_status.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace ui {

ReportStatus::ReportStatus(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("reportStatus"));

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("reportSummary"));
    summary_->setTextFormat(Qt::PlainText);
    // A long summary is cut off rather than widening the window past its minimum size; the
    // whole line stays in the tool tip and in the details.
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    details_ = new QToolButton(this);
    details_->setObjectName(QStringLiteral("reportDetails"));
    details_->setText(QStringLiteral("Details..."));
    details_->setAutoRaise(true);
    // Hidden, the button still keeps its room, so that the status bar, and with it the
    // controls above, keep their height when the first report arrives.
    QSizePolicy keepRoom = details_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    details_->setSizePolicy(keepRoom);
    details_->hide();
    connect(details_, &QToolButton::clicked, this, &ReportStatus::detailsRequested);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(summary_, 1);
    layout->addWidget(details_);
}

void ReportStatus::setSummary(const QString& line) {
    summary_->setText(line);
    summary_->setToolTip(line);
    details_->show();
}

QString ReportStatus::summary() const {
    return summary_->text();
}

}  // namespace ui
