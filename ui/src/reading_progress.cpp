#include "ui/reading_progress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

namespace ui {

ReadingProgress::ReadingProgress(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("readingStatus"));
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("readingFile"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("readingProgress"));
    bar_->setRange(0, 1000);
    bar_->setTextVisible(false);
    bar_->setMaximumWidth(120);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelReadingButton"));
    cancel_->setAutoDefault(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, this, &ReadingProgress::cancelRequested);

    showTimer_.setSingleShot(true);
    showTimer_.setInterval(kShowAfter);
    connect(&showTimer_, &QTimer::timeout, this, [this] {
        update();
        show();
        updateTimer_.start();
    });
    updateTimer_.setInterval(kUpdateEvery);
    connect(&updateTimer_, &QTimer::timeout, this, &ReadingProgress::update);
    hide();
}

void ReadingProgress::begin(const QString& fileName, Poll poll) {
    poll_ = std::move(poll);
    label_->setText(QStringLiteral("Reading %1").arg(fileName));
    bar_->setValue(0);
    if (isHidden()) {
        showTimer_.start();
    } else {
        // Another document replaces the one being read: what shows is about the new one.
        update();
        updateTimer_.start();
    }
}

void ReadingProgress::end() {
    showTimer_.stop();
    updateTimer_.stop();
    poll_ = nullptr;
    hide();
}

void ReadingProgress::update() {
    if (!poll_) {
        return;
    }
    const auto [read, total] = poll_();
    if (total == 0) {
        bar_->setRange(0, 0);  // how far is unknown: the bar only shows that work goes on
        return;
    }
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(std::min<std::uint64_t>(read, total) * 1000 / total));
}

}  // namespace ui
