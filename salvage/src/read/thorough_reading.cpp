#include "read/thorough_reading.h"

namespace salvage::detail {

bool ThoroughReading::finish() {
    if (!reader_.finish()) {
        return false;
    }
    const InputFindings& input = normalizer_.findings();
    document_.report.thorough->input = input;
    // A line's place in the converted bytes is not its place in the file's.
    document_.report.damagedLinesInFileBytes = input.textEncoding.empty() && !input.byteOrderMark &&
                                               !input.quotedPrintable && !input.escapedMarkup &&
                                               input.invisibleCharacters == 0;
    return true;
}

}  // namespace salvage::detail
