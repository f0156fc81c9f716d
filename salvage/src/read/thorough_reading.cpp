#include "read/thorough_reading.h"

namespace salvage::detail {

bool ThoroughReading::finish() {
    if (!reader_.finish()) {
        return false;
    }
    document_.report.thorough->input = normalizer_.findings();
    return true;
}

}  // namespace salvage::detail
