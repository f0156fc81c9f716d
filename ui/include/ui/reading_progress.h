#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {

// The status bar's account of a document being read: which one, how far, and a Cancel button.
// It shows only once a reading has lasted a moment, so that a quick one does not flicker.
class ReadingProgress final : public QWidget {
    Q_OBJECT
  public:
    // Bytes read so far and in all (0 when unknown).
    using Poll = std::function<std::pair<std::uint64_t, std::uint64_t>()>;

    static constexpr std::chrono::milliseconds kShowAfter{250};
    static constexpr std::chrono::milliseconds kUpdateEvery{100};

    explicit ReadingProgress(QWidget* parent = nullptr);

    void begin(const QString& fileName, Poll poll);
    void end();

  signals:
    void cancelRequested();

  private:
    void update();

    Poll poll_;
    QTimer showTimer_;
    QTimer updateTimer_;
    QLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace ui
