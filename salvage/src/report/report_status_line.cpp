#include "salvage/report_status_line.h"

#include "report/summary_line.h"

namespace salvage {

std::string reportStatusLine(const SalvageReport& report, std::size_t sectionCount) {
    return detail::summaryLine(report, sectionCount,
                               {.linesRead = false,
                                .damaged = " damaged",
                                .notUtf8 = " not UTF-8",
                                .replaced = " replaced",
                                .skippedOne = " skipped",
                                .skippedMany = " skipped",
                                .stoppedEarly = "stopped early",
                                .headerDamaged = "header damaged",
                                .realignedOne = " realigned",
                                .realignedMany = " realigned",
                                .pieceOne = " unnamed piece",
                                .pieceMany = " unnamed pieces",
                                .repeatedOne = " name repeated",
                                .repeatedMany = " names repeated"});
}

}  // namespace salvage
