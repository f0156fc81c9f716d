#include "read/cluster_seams.h"

#include "read/seam_script.h"

namespace salvage::detail {

void ClusterSeams::reached(std::uint64_t offset, std::size_t decoded, std::size_t line) {
    last_[0] = last_[1];
    last_[1] = Boundary{offset, {decoded, line}};
    if (offset == watched_) {
        tried_.push_back(last_[1]->cut);
    }
}

void ClusterSeams::seam(std::uint64_t offset) {
    if (offset % kCluster != 0) {
        return;
    }
    for (const std::optional<Boundary>& boundary : last_) {
        if (boundary && boundary->offset + kCluster == offset) {
            tried_.push_back(boundary->cut);
        }
    }
    watched_ = offset + kCluster;
}

std::vector<ClusterSeams::Cut> ClusterSeams::cuts(std::string_view text) {
    std::vector<Cut> cuts;
    for (const Cut& cut : tried_) {
        if (cut.decoded != 0 && cut.decoded < text.size() && scriptChangesAt(text, cut.decoded)) {
            cuts.push_back(cut);
        }
    }
    forgetPiece();
    return cuts;
}

void ClusterSeams::forgetPiece() {
    tried_.clear();
    last_ = {};
}

}  // namespace salvage::detail
