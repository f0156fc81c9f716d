#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "read/line_width_seams.h"

namespace salvage::detail {

// Finds the other end of another file's cluster written into a document. A file system gives
// files whole clusters, so where a seam shows such a cluster beginning or ending, its other end
// lies a cluster away; there the text may go on in step, decoding to text, with nothing in the
// bytes to mark it but a change of script.
//
// The reader tells it each cluster boundary its text reaches and each seam the decoder finds;
// when the piece is stored it asks which of the boundaries a cluster from a seam are to part
// the piece's text.
class ClusterSeams {
  public:
    // The commonest cluster size, and the one the boundaries are looked for at.
    static constexpr std::uint64_t kCluster = 4096;
    using Cut = LineWidthSeams::Cut;

    // The text of `line`, fed up to `offset` (a cluster boundary) of the input, leaves `decoded`
    // bytes of the piece's text decoded.
    void reached(std::uint64_t offset, std::size_t decoded, std::size_t line);
    // The decoder found a seam at `offset` in the text of the piece being decoded.
    void seam(std::uint64_t offset);
    // Where the piece's `text` is to be parted; the piece is done with then.
    std::vector<Cut> cuts(std::string_view text);
    // The piece is done with, its text kept whole.
    void forgetPiece();

  private:
    struct Boundary {
        std::uint64_t offset = 0;
        Cut cut;
    };

    // The last two cluster boundaries reached in the piece, the later one last: a seam is found
    // a little after its boundary is reached.
    std::array<std::optional<Boundary>, 2> last_;
    std::vector<Cut> tried_;     // boundaries of the piece a cluster from a seam
    std::uint64_t watched_ = 0;  // the boundary a cluster after the latest seam
};

}  // namespace salvage::detail
