// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string_view>

#include "core/errors.h"
#include "record/run_record.h"

namespace snr {

// A summary.json that is no JSON, or lacks a member a report needs, or holds one of the wrong
// kind; the text says which ("planes.snr_nopi.window.ww").
class SummaryError : public Error {
public:
    using Error::Error;
};

// The record of a run from the summary.json that snrmap wrote of it, planes in list order.
// The planes themselves are not read: each ResultPlane names its plane file and points at
// none. Raises SummaryError.
RunRecord read_summary(std::string_view json);

}  // namespace snr
