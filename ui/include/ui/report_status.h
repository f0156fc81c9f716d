#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace ui {

class ElidedLabel;

// The status bar's account of the last accepted document: one line that sums it up, and a
// "Details..." button that asks for the whole report. Empty until the first line is set.
class ReportStatus final : public QWidget {
    Q_OBJECT
  public:
    explicit ReportStatus(QWidget* parent = nullptr);

    void setSummary(const QString& line);
    QString summary() const;

    // Offers the thorough reading in one click, after `why` (may be empty); or no longer.
    void offerThoroughReading(const QString& why);
    void withdrawOffer();
    bool offering() const;

  signals:
    void detailsRequested();
    void thoroughReadingRequested();

  private:
    ElidedLabel* summary_ = nullptr;
    QLabel* offerReason_ = nullptr;
    QToolButton* offer_ = nullptr;
    QToolButton* details_ = nullptr;
};

}  // namespace ui
