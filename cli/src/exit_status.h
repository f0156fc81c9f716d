#pragma once

namespace qlv::cli {

// The program's exit statuses.
inline constexpr int kExitSuccess = 0;  // every FILE was read and written
inline constexpr int kExitFailure = 1;  // a FILE was refused, unreadable or could not be written
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

}  // namespace qlv::cli
