// SPDX-License-Identifier: BSD-3-Clause
// Writes DICOM files for the seeds of the dicom_image fuzz target through DCMTK and its
// encoders (fuzz/make-seeds runs it): compressed, enhanced, of several frames, with a damaged
// file meta group. A name ending in ".fN.dcm" has N frames of native words at its end, which
// make-seeds takes off (the target appends such frames itself).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/dicom_writer.h"

using namespace snr;
using test::DicomOptions;

namespace {

// A small gradient with an edge: it compresses well and exercises the predictors.
StoredPixels gradient(int offset)
{
    StoredPixels pixels;
    for (int p = 0; p < plane_pixels; ++p)
        pixels[p] = static_cast<std::int16_t>((p / plane_side + p % plane_side) / 4 + (p % 97 == 0 ? 900 : 0) + offset);
    return pixels;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dicom_seeds OUT_DIR\n");
        return 2;
    }
    const std::string out = argv[1];
    const std::vector<StoredPixels> two = {gradient(0), gradient(-40)};
    const test::Element slope{0x0028, 0x1053, "2.5"}, intercept{0x0028, 0x1052, "-7"};
    const struct {
        const char* name;
        std::vector<StoredPixels> frames;
        DicomOptions options;
    } files[] = {
        {"jpeg-sv1", {gradient(0)}, {.transfer_syntax = test::jpeg_lossless, .rescale_slope = "2.468"}},
        {"jpeg-process14", {gradient(5)}, {.transfer_syntax = test::jpeg_lossless_any_predictor}},
        {"jpeg-ls", {gradient(0)}, {.transfer_syntax = test::jpeg_ls_lossless, .pixel_representation = 0}},
        {"rle-two-frames", two, {.transfer_syntax = test::rle_lossless}},
        {"jpeg-two-frames", two, {.transfer_syntax = test::jpeg_lossless}},
        {"jpeg-ls-two-frames", two, {.transfer_syntax = test::jpeg_ls_lossless, .pixel_representation = 0}},
        {"lossy-history", {gradient(0)}, {.elements = {{0x0028, 0x2110, "01"}, {0x0028, 0x2114, "ISO_10918_1"}}}},
        {"deflated", {gradient(0)}, {.transfer_syntax = test::deflated_little_endian, .rescale_slope = "0.5"}},
        {"jpeg-point-transform", {gradient(0)}, {.transfer_syntax = test::jpeg_lossless, .point_transform = 1}},
        {"jpeg-ls-near", {gradient(0)},
         {.transfer_syntax = test::jpeg_ls_near_lossless, .pixel_representation = 0,
          .meta_syntax = test::jpeg_ls_lossless}},
        {"enhanced.f2", two,
         {.enhanced = true, .elements = {{0x0028, 0x0030, "1\\1"}}, .frame_elements = {{slope, intercept}, {}}}},
        {"enhanced-rle", two,
         {.transfer_syntax = test::rle_lossless, .enhanced = true, .frame_elements = {{}, {slope, intercept}}}},
        {"three-frames-big-endian.f3", {gradient(0), gradient(1), gradient(2)},
         {.transfer_syntax = test::explicit_big_endian}},
        {"no-syntax.f1", {gradient(0)}, {.rescale_slope = "2", .meta_syntax = ""}},
        {"no-syntax-implicit.f1", {gradient(0)},
         {.transfer_syntax = test::implicit_little_endian, .meta_syntax_element = false}},
    };
    for (const auto& file : files)
        test::write_dicom_frames(out + "/" + file.name + ".dcm", file.frames, file.options);

    // Frames in several fragments each, found by the offset table.
    for (const char* name : {"rle-two-frames", "jpeg-two-frames"}) {
        const std::string path = out + "/" + name + ".dcm";
        test::Fragments fragments = test::read_fragments(path);
        std::vector<std::vector<std::uint8_t>> pieces;
        std::vector<std::size_t> firsts;
        for (const auto& item : fragments.items) {
            firsts.push_back(pieces.size());
            for (std::size_t at = 0; at < item.size(); at += 4096)
                pieces.emplace_back(item.begin() + static_cast<long>(at),
                                    item.begin() + static_cast<long>(std::min(item.size(), at + 4096)));
        }
        fragments.items = std::move(pieces);
        fragments.table = test::offset_table(fragments.items, firsts);
        const std::string fragmented = out + "/" + name + "-fragmented.dcm";
        std::filesystem::copy_file(path, fragmented, std::filesystem::copy_options::overwrite_existing);
        test::write_fragments(fragmented, fragments);
    }
    return 0;
}
