// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace snr::history {

// A time as the history orders runs: "YYYY-MM-DDTHH:MM:SSZ" in UTC, from
// "YYYY-MM-DDTHH:MM[:SS][.fraction](Z|+HH:MM|-HH:MM|+HHMM|-HHMM)" or, without an offset, local
// time; a date alone is the start of that day in local time. Nothing for any other text or a
// time that does not exist.
std::optional<std::string> utc_time(std::string_view text);

}  // namespace snr::history
