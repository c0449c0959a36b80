// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <utility>

#include "core/errors.h"

namespace snr::history {

// A failure of the history. Its text, as snrmap prints it, names the database; the windows,
// which only record, show it in Japanese (window_text).
class HistoryError : public Error {
public:
    // `database` as shown (its password masked); `reason` what went wrong, as the driver says it.
    HistoryError(std::string text, std::string database, std::string reason)
        : Error(std::move(text)), database_(std::move(database)), reason_(std::move(reason))
    {
    }

    std::string window_text() const { return "履歴データベース " + database_ + " に記録できません (" + reason_ + ")"; }

private:
    std::string database_, reason_;
};

}  // namespace snr::history
