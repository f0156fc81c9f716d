#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace qlv::cli {

// One line on a terminal, written over and over while a source is carved: how much is read,
// how fast, what was found and how long the rest will take.
class CarveProgress {
  public:
    explicit CarveProgress(std::ostream& out);

    void update(std::uint64_t done, std::uint64_t total, std::size_t found);
    // Ends the line, when one was shown, so that what follows starts on its own.
    void finish();

  private:
    using Clock = std::chrono::steady_clock;

    std::ostream& out_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point shown_{};
    bool showing_ = false;
};

}  // namespace qlv::cli
