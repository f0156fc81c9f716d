#include "read/line_reading.h"

#include "read/plain_reading.h"
#include "read/thorough_reading.h"

namespace salvage::detail {

std::unique_ptr<LineReading> makeLineReading(Reading reading, Document& document,
                                             const Implementation& routines) {
    switch (reading) {
        case Reading::Thorough:
            return std::make_unique<ThoroughReading>(document, routines);
        case Reading::Plain:
            break;
    }
    return std::make_unique<PlainReading>(document, routines);
}

}  // namespace salvage::detail
