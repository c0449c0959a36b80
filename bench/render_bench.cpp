#include <benchmark/benchmark.h>

#include <vector>

#include "core/display.h"

namespace {

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

}  // namespace
