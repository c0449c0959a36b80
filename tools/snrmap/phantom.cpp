// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/phantom.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "core/dicom_text.h"
#include "tools/snrmap/dicom_file.h"
#include "record/json_text.h"
#include "run/reduction_factor.h"
#include "tools/snrmap/npy_file.h"
#include "tools/snrmap/output_folder.h"

namespace snr::snrmap {

namespace {

std::uint64_t splitmix64(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A UID under the 2.25 root (a 128-bit number), derived from the seed and the role of the
// object, so that the same seed gives the same files.
std::string derived_uid(std::uint64_t seed, std::uint64_t role, std::uint64_t index)
{
    std::uint64_t state = seed ^ (role << 48) ^ (index * 0xD6E8FEB86659FD93ull);
    unsigned __int128 number = splitmix64(state);
    number = (number << 64) | splitmix64(state);
    return uid_of(number == 0 ? 1 : number);
}

std::string numbered(const std::string& stem, int number, int count)
{
    std::string digits = std::to_string(number);
    const std::size_t width = std::max<std::size_t>(3, std::to_string(count).size());
    return stem + "_" + std::string(width - std::min(width, digits.size()), '0') + digits + ".dcm";
}

enum Role : std::uint64_t { study = 1, series = 2, instance = 3, frame_of_reference = 4 };

}  // namespace

bool inside_disc(int row, int column)
{
    const double dy = row - phantom::centre;
    const double dx = column - phantom::centre;
    return dx * dx + dy * dy <= phantom::radius * phantom::radius;
}

double true_gfactor(int, int column)
{
    const double x = (column - phantom::centre) / phantom::profile_width;
    return 1.0 + std::exp(-x * x);
}

Plane true_gfactor_plane()
{
    Plane plane;
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column)
            at(plane, row, column) = true_gfactor(row, column);
    }
    return plane;
}

double NormalNoise::next()
{
    if (has_spare_) {
        has_spare_ = false;
        return spare_;
    }
    constexpr double unit = 1.0 / 9007199254740992.0;  // 2^-53
    const double u1 = 1.0 - static_cast<double>(bits_() >> 11) * unit;  // (0, 1]: the log stays finite
    const double u2 = static_cast<double>(bits_() >> 11) * unit;
    const double length = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * std::numbers::pi * u2;
    spare_ = length * std::sin(angle);
    has_spare_ = true;
    return length * std::cos(angle);
}

StoredPixels phantom_image(NormalNoise& noise, bool with_pi, double r)
{
    StoredPixels samples{};
    const double root_r = std::sqrt(r);
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            if (!inside_disc(row, column))
                continue;
            const double sigma = with_pi ? phantom::sigma * root_r * true_gfactor(row, column) : phantom::sigma;
            const double value = std::nearbyint(phantom::value + sigma * noise.next());
            samples[row * plane_side + column] = static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
        }
    }
    return samples;
}

void write_phantom(const PhantomSettings& settings, StagedOutput& output)
{
    NormalNoise noise(settings.seed);
    const std::string study_uid = derived_uid(settings.seed, study, 0);
    const std::string frame_uid = derived_uid(settings.seed, frame_of_reference, 0);
    std::uint64_t series_number = 0;
    const std::string reduction = reduction_text(settings.r);
    // One series per folder; the images are made in the order listed, from one noise stream.
    auto write_series = [&](const std::string& folder_name, const std::vector<std::pair<std::string, bool>>& images) {
        const std::string folder = output.make_folder(folder_name);
        const std::string series_uid = derived_uid(settings.seed, series, ++series_number);
        int number = 0;
        for (const auto& [name, with_pi] : images) {
            ++number;
            DicomImage image;
            image.study_instance_uid = study_uid;
            image.series_instance_uid = series_uid;
            image.sop_instance_uid = derived_uid(settings.seed, instance, series_number << 20 | number);
            image.instance_number = number;
            image.frame_of_reference_uid = frame_uid;
            image.series_number = static_cast<int>(series_number);
            image.series_description = "SNR phantom " + folder_name;
            image.parallel_acquisition = with_pi ? "YES" : "NO";
            if (with_pi)
                image.reduction_factor = reduction;
            output.write_inside(folder + "/" + name, {dicom_bytes(image, phantom_image(noise, with_pi, settings.r))});
        }
    };
    for (const bool with_pi : {false, true}) {
        std::vector<std::pair<std::string, bool>> repeated;
        for (int k = 1; k <= settings.repeats; ++k)
            repeated.emplace_back(numbered(with_pi ? "pi" : "nopi", k, settings.repeats), with_pi);
        write_series(with_pi ? "pi" : "nopi", repeated);
    }
    write_series("pairs", {{"nopi_1.dcm", false}, {"nopi_2.dcm", false}, {"pi_1.dcm", true}, {"pi_2.dcm", true}});

    output.write("truth_gfactor.npy", npy_bytes(true_gfactor_plane()));

    JsonText json;
    json.begin_object();
    json.field("seed", static_cast<unsigned long long>(settings.seed));
    json.field("repeats", static_cast<long long>(settings.repeats));
    json.field("r", settings.r);
    json.field("disc_value", phantom::value);
    json.field("disc_radius", phantom::radius);
    json.field("disc_centre", static_cast<long long>(phantom::centre));
    json.field("sigma_nopi", phantom::sigma);
    json.field("sigma_pi", "sigma_nopi * sqrt(r) * g(row, column)");
    json.field("gfactor", "1 + exp(-((column - 128) / 48)^2)");
    json.end_object();
    output.write("phantom.json", json.text());
}

}  // namespace snr::snrmap
