// SPDX-License-Identifier: BSD-3-Clause
#include "core/measured_region.h"

#include <algorithm>
#include <cstddef>

#include "core/legend.h"

namespace snr {

namespace {

constexpr int side = plane_side;

// Sets the region's pixel count and extent from `inside`.
void measure_extent(MeasuredRegion& region)
{
    region.pixels = 0;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            if (region.inside[row * side + column] == 0)
                continue;
            ++region.pixels;
            if (region.top < 0)
                region.top = row;
            region.bottom = row;
            region.left = region.left < 0 ? column : std::min(region.left, column);
            region.right = std::max(region.right, column);
        }
    }
}

void leave_out_legend_box(std::vector<std::uint8_t>& inside)
{
    for (int row = legend::frame_top; row <= legend::frame_bottom; ++row)
        std::fill_n(inside.begin() + row * side + legend::frame_left, legend::box_columns, 0);
}

// The stretches of a row whose pixels are alike, and the areas they join into.
struct Runs {
    struct Run {
        int row, first, last;  // columns first to last, inclusive
    };
    std::vector<Run> runs;
    std::vector<int> parent;

    int root(int k)
    {
        while (parent[k] != k)
            k = parent[k] = parent[parent[k]];
        return k;
    }
};

// The runs of pixels of `mask` equal to `value`, each joined with those of the row above that
// touch it: sideways or diagonally with `diagonal`, else only above.
Runs connected_runs(const std::vector<std::uint8_t>& mask, std::uint8_t value, bool diagonal)
{
    Runs found;
    found.runs.reserve(4096);
    std::size_t above_begin = 0, above_end = 0;
    const int reach = diagonal ? 1 : 0;
    for (int row = 0; row < side; ++row) {
        const std::size_t begin = found.runs.size();
        const std::uint8_t* line = &mask[row * side];
        for (int column = 0; column < side;) {
            if (line[column] != value) {
                ++column;
                continue;
            }
            const int first = column;
            while (column < side && line[column] == value)
                ++column;
            found.runs.push_back({row, first, column - 1});
            const int self = static_cast<int>(found.parent.size());
            found.parent.push_back(self);
            for (std::size_t k = above_begin; k < above_end; ++k) {
                const Runs::Run& above = found.runs[k];
                if (above.last + reach < first || above.first - reach > column - 1)
                    continue;
                const int a = found.root(static_cast<int>(k)), b = found.root(self);
                if (a != b)
                    found.parent[std::max(a, b)] = std::min(a, b);
            }
        }
        above_begin = begin;
        above_end = found.runs.size();
    }
    return found;
}

// The largest 8-connected area of `mask` (the first found of equal ones), as a mask.
std::vector<std::uint8_t> largest_area(const std::vector<std::uint8_t>& mask)
{
    Runs found = connected_runs(mask, 1, true);
    std::vector<long long> size(found.runs.size(), 0);
    for (std::size_t k = 0; k < found.runs.size(); ++k)
        size[static_cast<std::size_t>(found.root(static_cast<int>(k)))] += found.runs[k].last - found.runs[k].first + 1;
    int best = -1;
    long long best_size = 0;
    for (std::size_t k = 0; k < size.size(); ++k) {
        if (size[k] > best_size) {
            best_size = size[k];
            best = static_cast<int>(k);
        }
    }
    std::vector<std::uint8_t> area(plane_pixels, 0);
    for (std::size_t k = 0; k < found.runs.size(); ++k) {
        const Runs::Run& run = found.runs[k];
        if (found.root(static_cast<int>(k)) == best)
            std::fill(area.begin() + run.row * side + run.first, area.begin() + run.row * side + run.last + 1, 1);
    }
    return area;
}

// Fills the holes of `area`: whatever the outside of the plane cannot reach through
// 4-connected pixels not in it.
void fill_holes(std::vector<std::uint8_t>& area)
{
    Runs found = connected_runs(area, 0, false);
    std::vector<std::uint8_t> open(found.runs.size(), 0);  // by root: reaches the plane's edge
    for (std::size_t k = 0; k < found.runs.size(); ++k) {
        const Runs::Run& run = found.runs[k];
        if (run.row == 0 || run.row == side - 1 || run.first == 0 || run.last == side - 1)
            open[static_cast<std::size_t>(found.root(static_cast<int>(k)))] = 1;
    }
    for (std::size_t k = 0; k < found.runs.size(); ++k) {
        const Runs::Run& run = found.runs[k];
        if (open[static_cast<std::size_t>(found.root(static_cast<int>(k)))] == 0)
            std::fill(area.begin() + run.row * side + run.first, area.begin() + run.row * side + run.last + 1, 1);
    }
}

// The squared Euclidean distance from each pixel of `area` to the nearest pixel outside it,
// beyond the plane's edge counting as outside; 0 outside. Down the columns the distance to
// the nearest outside pixel, then along each row the lower envelope of the parabolas
// (x - p)² + g(p) of the column distances g.
std::vector<int> distances_to_edge(const std::vector<std::uint8_t>& area)
{
    // Down and then up the rows, every column at once.
    std::vector<int> column_distance(plane_pixels, 0);
    int run[side] = {};  // to the nearest outside pixel passed, the plane's edge counting
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            run[column] = area[row * side + column] != 0 ? run[column] + 1 : 0;
            column_distance[row * side + column] = run[column];
        }
    }
    std::fill_n(run, side, 0);
    for (int row = side - 1; row >= 0; --row) {
        for (int column = 0; column < side; ++column) {
            run[column] = area[row * side + column] != 0 ? run[column] + 1 : 0;
            int& d = column_distance[row * side + column];
            d = std::min(d, run[column]);
        }
    }
    std::vector<int> distances(plane_pixels, 0);
    // Along each row, between the outside pixels (or the plane's edge) either side of the
    // area's first and last pixel there: an outside pixel farther away is never nearer. The
    // parabolas meet at fractions, compared crosswise in whole numbers.
    int g[side + 2], v[side + 2];
    long long meet_number[side + 3], meet_divisor[side + 3];
    for (int row = 0; row < side; ++row) {
        const int* line = &column_distance[row * side];
        int first = 0, last = side - 1;
        while (first < side && line[first] == 0)
            ++first;
        if (first == side)
            continue;
        while (line[last] == 0)
            --last;
        // Positions 0 .. n - 1 stand for columns first - 1 .. last + 1.
        const int n = last - first + 3;
        g[0] = g[n - 1] = 0;
        for (int x = 1; x < n - 1; ++x)
            g[x] = line[first + x - 1] * line[first + x - 1];
        const auto set_meet = [&](int at, int q, int p) {
            meet_number[at] = static_cast<long long>(g[q]) + q * q - g[p] - p * p;
            meet_divisor[at] = 2LL * (q - p);
        };
        // meet(q, p) <= meet at `at`; -infinity at 0.
        const auto not_after = [&](int q, int p, int at) {
            return at > 0 && (static_cast<long long>(g[q]) + q * q - g[p] - p * p) * meet_divisor[at] <=
                                 meet_number[at] * 2LL * (q - p);
        };
        int k = 0;
        v[0] = 0;
        for (int q = 1; q < n; ++q) {
            while (not_after(q, v[k], k))
                --k;
            ++k;
            v[k] = q;
            set_meet(k, q, v[k - 1]);
        }
        const int count = k + 1;
        k = 0;
        for (int q = 1; q < n - 1; ++q) {
            // The next parabola is the lower from where it meets this one.
            while (k + 1 < count && meet_number[k + 1] < q * meet_divisor[k + 1])
                ++k;
            distances[row * side + first + q - 1] = (q - v[k]) * (q - v[k]) + g[v[k]];
        }
    }
    return distances;
}

}  // namespace

const char* region_kind_name(RegionKind kind) { return kind == RegionKind::Phantom ? "phantom" : "all"; }

MeasuredRegion whole_region()
{
    MeasuredRegion region;
    region.kind = RegionKind::All;
    region.inside.assign(plane_pixels, 1);
    leave_out_legend_box(region.inside);
    measure_extent(region);
    return region;
}

MeasuredRegion phantom_region(const Plane& signal)
{
    MeasuredRegion region;
    region.kind = RegionKind::Phantom;
    region.inside.assign(plane_pixels, 0);

    std::vector<double> positive;
    positive.reserve(plane_pixels);
    for (double value : signal) {
        if (value > 0)
            positive.push_back(value);
    }
    if (positive.empty())
        return region;
    // The 99th percentile by nearest rank: a few bright pixels (a vessel of fluid, a marker)
    // do not set the threshold.
    const auto rank = positive.begin() + static_cast<std::ptrdiff_t>((positive.size() - 1) * 99 / 100);
    std::nth_element(positive.begin(), rank, positive.end());
    region.threshold = *rank / 10;

    std::vector<std::uint8_t> mask(plane_pixels);
    for (int k = 0; k < plane_pixels; ++k)
        mask[k] = signal[k] > region.threshold;
    std::vector<std::uint8_t> phantom = largest_area(mask);
    fill_holes(phantom);
    region.phantom_pixels = std::count(phantom.begin(), phantom.end(), 1);

    // The deepest pixels, at least three quarters of the phantom, all of equal depth alike.
    const std::vector<int> depth = distances_to_edge(phantom);
    std::vector<int> depths;
    depths.reserve(static_cast<std::size_t>(region.phantom_pixels));
    for (int k = 0; k < plane_pixels; ++k) {
        if (phantom[k] != 0)
            depths.push_back(depth[k]);
    }
    const auto kept = static_cast<std::ptrdiff_t>((3 * region.phantom_pixels + 3) / 4);
    std::nth_element(depths.begin(), depths.begin() + (kept - 1), depths.end(), std::greater<>());
    const int least = depths[static_cast<std::size_t>(kept - 1)];
    for (int k = 0; k < plane_pixels; ++k)
        region.inside[k] = phantom[k] != 0 && depth[k] >= least;
    leave_out_legend_box(region.inside);
    measure_extent(region);
    return region;
}

MeasuredRegion measured_region(RegionKind kind, const Plane& signal)
{
    return kind == RegionKind::Phantom ? phantom_region(signal) : whole_region();
}

}  // namespace snr
