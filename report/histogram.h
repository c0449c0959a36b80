// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <vector>

#include "record/run_record.h"
#include "report/chart.h"

namespace snr::report {

// Counts of values in equal bins over [low, high); a value equal to `high` falls in the last
// bin. Values outside are counted beside.
struct Histogram {
    double low = 0, high = 1;
    std::vector<long long> counts;
    long long below = 0, above = 0;
};

Histogram make_histogram(const std::vector<double>& values, double low, double high, std::size_t bins);

// The histogram of a map over its measured region (in g for the g-factor map), as a chart:
// the range from the 5th percentile less half the spread between the 5th and 95th to the 95th
// plus half of it, inside the minimum and maximum, so that a few extreme pixels (a centre of
// almost no noise) do not squeeze the rest into one bar. The g-factor map is marked at 1.2
// and 1.5.
Chart map_histogram(const ResultPlane& plane, const MeasuredRegion& region);

}  // namespace snr::report
