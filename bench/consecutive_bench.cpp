// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "consecutive/consecutive_run.h"
#include "tests/support/temp_folder.h"

namespace {

struct SilentView : snr::ConsecutiveRunView {
    void refuse(const std::string&) override {}
    void begin(const std::vector<std::string>&) override {}
    void progress(int) override {}
};

void write_noisy_series(const std::string& folder, int count, double sigma, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    snr::StoredPixels samples;
    for (int n = 0; n < count; ++n) {
        for (int i = 0; i < snr::plane_pixels; ++i)
            samples[i] = static_cast<std::int16_t>(1000 + noise(random));
        snr::test::write_slice(folder + "/slice" + std::to_string(1000 + n), samples);
    }
}

// A full press of the start button on 64 + 64 slices (files in the page cache).
void BM_consecutive_run_64_64(benchmark::State& state)
{
    snr::test::TempFolder tmp;
    snr::ConsecutiveInputs inputs;
    inputs.nopi_folder = tmp.folder("nopi");
    inputs.pi_folder = tmp.folder("pi");
    write_noisy_series(inputs.nopi_folder, 64, 20, 1);
    write_noisy_series(inputs.pi_folder, 64, 30, 2);
    auto store = std::make_unique<snr::ConsecutiveState>();
    SilentView view;
    for (auto _ : state)
        benchmark::DoNotOptimize(snr::run_consecutive(*store, inputs, view));
}
BENCHMARK(BM_consecutive_run_64_64)->Unit(benchmark::kMillisecond);

}  // namespace
