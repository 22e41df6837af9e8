#pragma once
// The two things the receiver does: list a date's files, and receive files.

#include "cli/options.h"

namespace dovrel::cli {

// Both return one of the exit codes of cli/options.h.
int RunList(const Options& options);
int RunReceive(const Options& options);

// Today's date as YYYYMMDD in local time.
std::string Today();

}  // namespace dovrel::cli
