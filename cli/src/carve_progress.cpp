#include "carve_progress.h"

#include <cstdio>
#include <string>

#include "options.h"

namespace qlv::cli {
namespace {

// Several updates a second would only make the line flicker.
constexpr auto kInterval = std::chrono::milliseconds(250);

std::string size(double bytes) {
    static constexpr const char* kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    std::size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < std::size(kUnits)) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
    return text;
}

std::string duration(double seconds) {
    const auto whole = static_cast<unsigned long long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text;
}

}  // namespace

CarveProgress::CarveProgress(std::ostream& out) : out_(out) {}

void CarveProgress::update(std::uint64_t done, std::uint64_t total, std::size_t found) {
    const Clock::time_point now = Clock::now();
    if (showing_ && now - shown_ < kInterval) {
        return;
    }
    shown_ = now;
    showing_ = true;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double speed = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    std::string line = "\r" + std::string(kProgramName) + ": " + size(static_cast<double>(done)) +
                       " of " + size(static_cast<double>(total)) + ", " + size(speed) + "/s, " +
                       std::to_string(found) + (found == 1 ? " document" : " documents");
    if (speed > 0 && done < total) {
        line += ", " + duration(static_cast<double>(total - done) / speed) + " left";
    }
    // Spaces rub out the end of a longer line shown before.
    out_ << line << "    " << std::flush;
}

void CarveProgress::finish() {
    if (showing_) {
        out_ << '\n' << std::flush;
        showing_ = false;
    }
}

}  // namespace qlv::cli
