// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "submap/submap_run.h"
#include "tests/support/temp_folder.h"

namespace {

struct SilentView : snr::SubmapRunView {
    void refuse(const std::string&) override {}
    void begin(const std::vector<std::string>&) override {}
};

void write_noisy_slice(const std::string& path, double sigma, std::mt19937& random)
{
    std::normal_distribution<double> noise(0.0, sigma);
    snr::StoredPixels samples;
    for (int i = 0; i < snr::plane_pixels; ++i)
        samples[i] = static_cast<std::int16_t>(1000 + noise(random));
    snr::test::write_slice(path, samples);
}

// A full checked press of the start button on two image pairs (files in the page cache).
void BM_submap_run_checked(benchmark::State& state)
{
    snr::test::TempFolder tmp;
    auto store = std::make_unique<snr::SubmapState>();
    snr::SubmapInputs inputs;
    std::mt19937 random(3);
    std::string* paths[] = {&store->path1_nopi, &store->path2_nopi, &store->path1_pi, &store->path2_pi};
    std::string* captions[] = {&inputs.caption1, &inputs.caption2, &inputs.caption3, &inputs.caption4};
    for (int k = 0; k < 4; ++k) {
        *captions[k] = "image" + std::to_string(k + 1);
        *paths[k] = tmp.file(*captions[k]);
        write_noisy_slice(*paths[k], k < 2 ? 20 : 30, random);
    }
    SilentView view;
    for (auto _ : state)
        benchmark::DoNotOptimize(snr::run_submap(*store, inputs, view));
}
BENCHMARK(BM_submap_run_checked)->Unit(benchmark::kMillisecond);

}  // namespace
