#include "normalize/normalizer_stage.h"

#include "ascii.h"

namespace salvage::detail {

void EscapeDecodingStage::feed(std::string_view in, std::string& out) {
    const char* p = in.data();
    const char* const end = p + in.size();
    while (p != end) {
        if (!escapeOpen()) {
            const char* const opener = findByte(p, end, opener_);
            if (opener == nullptr) {
                out.append(p, end);
                return;
            }
            out.append(p, opener);
            open();
            p = opener + 1;
        } else if (take(*p, out)) {
            ++p;
        }
    }
}

}  // namespace salvage::detail
