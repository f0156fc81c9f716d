#pragma once

#include <QString>
#include <QWidget>

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

  signals:
    void detailsRequested();

  private:
    ElidedLabel* summary_ = nullptr;
    QToolButton* details_ = nullptr;
};

}  // namespace ui
