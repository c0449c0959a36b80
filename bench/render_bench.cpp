// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <vector>

#include "core/display.h"
#include "core/measured_region.h"
#include "core/roi_stats.h"

namespace {

// The phantom found in a signal image once a run: a disc of radius 100 on noise.
void BM_phantom_region(benchmark::State& state)
{
    snr::Plane plane;
    for (int i = 0; i < snr::plane_pixels; ++i) {
        const int dy = i / snr::plane_side - 128, dx = i % snr::plane_side - 120;
        plane[i] = dx * dx + dy * dy <= 100 * 100 ? 1000 + (i * 37) % 200 : (i * 13) % 40;
    }
    for (auto _ : state) {
        const snr::MeasuredRegion region = snr::phantom_region(plane);
        benchmark::DoNotOptimize(region.pixels);
    }
}
BENCHMARK(BM_phantom_region)->Unit(benchmark::kMicrosecond);

void BM_render_display(benchmark::State& state)
{
    snr::Plane plane;
    for (int i = 0; i < snr::plane_pixels; ++i)
        plane[i] = (i * 37) % 1200 - 100.25;
    std::vector<std::uint8_t> pixels(snr::plane_pixels * 3);
    for (auto _ : state) {
        snr::render_display(plane, 500, 1001, pixels.data(), snr::plane_side * 3);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_render_display)->Unit(benchmark::kMicrosecond);

void BM_auto_window(benchmark::State& state)
{
    snr::Plane plane;
    for (int i = 0; i < snr::plane_pixels; ++i)
        plane[i] = (i * 37) % 1200;
    snr::DisplayWindow window;
    for (auto _ : state) {
        snr::auto_window(plane, window);
        benchmark::DoNotOptimize(window);
    }
}
BENCHMARK(BM_auto_window)->Unit(benchmark::kMicrosecond);

// The ROI table refreshes on every release of a Shift drag: one plane's share, whole image.
void BM_roi_statistics(benchmark::State& state)
{
    snr::Plane plane;
    for (int i = 0; i < snr::plane_pixels; ++i)
        plane[i] = (i * 37) % 1200 + 0.5;
    const auto kind = state.range(0) != 0 ? snr::ItemKind::GFactor : snr::ItemKind::SnrMap;
    for (auto _ : state)
        benchmark::DoNotOptimize(snr::roi_statistics(plane, {0, 0, snr::plane_side, snr::plane_side}, kind));
}
BENCHMARK(BM_roi_statistics)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
