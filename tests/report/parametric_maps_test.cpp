// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmpmap/dpmparametricmapiod.h>

#include "core/gfactor.h"
#include "core/legend.h"
#include "report/parametric_maps.h"
#include "tests/report/hand_run.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"

namespace snr::report {
namespace {

std::string text_in(DcmItem& item, const DcmTagKey& key)
{
    OFString value;
    item.findAndGetOFStringArray(key, value);
    return value.c_str();
}

// Every value of a tag anywhere in the data set, in order.
std::vector<std::string> all_of(DcmItem& item, const DcmTagKey& key)
{
    std::vector<std::string> values;
    DcmStack stack;
    while (item.search(key, stack, ESM_afterStackTop, true).good()) {
        OFString value;
        static_cast<DcmElement*>(stack.top())->getOFStringArray(value);
        values.emplace_back(value.c_str());
    }
    return values;
}

struct Written {
    std::string path;
    DcmFileFormat file;
};

// The maps written to files and read back: DCMTK's Parametric Map reader takes each, its one
// frame holds the plane's values bit for bit, under the legend box those the record keeps of
// the computation, its value range is theirs, and dciodvfy finds no error.
std::vector<std::unique_ptr<Written>> write_and_check(const test::TempFolder& tmp, const RunRecord& run,
                                                      const ParametricMaps& maps)
{
    std::vector<std::unique_ptr<Written>> written;
    std::size_t map = 0;
    for (const ResultPlane& plane : run.planes) {
        if (plane.kind == ItemKind::Other)
            continue;
        const MapFile& file = maps.files.at(map++);
        EXPECT_EQ(file.name, plane.name + ".dcm");
        auto& back = written.emplace_back(std::make_unique<Written>());
        back->path = tmp.file(file.name);
        test::write_bytes(back->path, std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.end()));
        EXPECT_TRUE(back->file.loadFile(back->path.c_str()).good());

        auto loaded = DPMParametricMapIOD::loadFile(back->path.c_str());
        auto** pmap = OFget<DPMParametricMapIOD*>(&loaded);
        if (pmap == nullptr) {
            ADD_FAILURE() << file.name << " is no Parametric Map to DCMTK";
            continue;
        }
        std::unique_ptr<DPMParametricMapIOD> owned(*pmap);
        EXPECT_EQ(owned->getNumberOfFrames(), 1u);
        auto frames = owned->getFrames();
        auto* doubles = OFget<DPMParametricMapIOD::Frames<Float64>>(&frames);
        if (doubles == nullptr) {
            ADD_FAILURE() << file.name << " holds no double float frames";
            continue;
        }
        std::vector<double> expected(plane.plane->begin(), plane.plane->end());
        for (int row = legend::frame_top; row <= legend::frame_bottom; ++row) {
            for (int column = legend::frame_left; column <= legend::frame_right; ++column)
                expected[row * plane_side + column] =
                    (*plane.legend_box)[(row - legend::frame_top) * legend::box_columns + column - legend::frame_left];
        }
        if (plane.kind == ItemKind::GFactor)
            std::transform(expected.begin(), expected.end(), expected.begin(), in_g);
        EXPECT_EQ(std::memcmp(doubles->getFrame(0), expected.data(), sizeof(double) * plane_pixels), 0) << file.name;
        const auto [low, high] = std::minmax_element(expected.begin(), expected.end());
        Float64 first = 0, last = 0;
        DcmDataset& data = *back->file.getDataset();
        data.findAndGetFloat64(DCM_DoubleFloatRealWorldValueFirstValueMapped, first, 0, true);
        data.findAndGetFloat64(DCM_DoubleFloatRealWorldValueLastValueMapped, last, 0, true);
        EXPECT_EQ(first, *low) << file.name;
        EXPECT_EQ(last, *high) << file.name;

        const auto errors = test::dciodvfy_errors(back->path);
        if (errors) {
            EXPECT_EQ(*errors, std::vector<std::string>{}) << file.name;
        }
    }
    EXPECT_EQ(map, maps.files.size());
    return written;
}

// What the computation gave under the legend box of each map: a gradient of the map's own
// values, where the planes hold the wedge and the frame (300).
void give_measured_boxes(RunRecord& run, std::vector<LegendBoxValues>& boxes)
{
    boxes.resize(run.planes.size());
    for (std::size_t k = 0; k < run.planes.size(); ++k) {
        for (std::size_t p = 0; p < boxes[k].size(); ++p)
            boxes[k][p] = 40 + static_cast<double>(p % 97) / 8;
        if (run.planes[k].legend_box != nullptr)
            run.planes[k].legend_box = &boxes[k];
    }
}

TEST(ParametricMaps, TheMapsJoinTheInputsStudyAsANewSeriesAndReferenceTheirSources)
{
    test::TempFolder tmp;
    RunRecord run = test::hand_run();
    std::vector<LegendBoxValues> boxes;
    give_measured_boxes(run, boxes);
    const ParametricMaps maps = parametric_maps(run, "0.1.0");
    const DicomAttributes& input = run.files[0].source.attributes;
    EXPECT_FALSE(maps.record.new_study);
    EXPECT_EQ(maps.record.study_instance_uid, input.study_instance_uid);
    EXPECT_EQ(maps.record.frame_of_reference_uid, input.frame_of_reference_uid);
    EXPECT_EQ(maps.record.files, (std::vector<std::string>{"snr_nopi.dcm", "snr_pi.dcm", "gfactor_map.dcm"}));
    const auto written = write_and_check(tmp, run, maps);
    ASSERT_EQ(written.size(), 3u);

    const char* labels[] = {"SNR_NOPI", "SNR_PI", "GFACTOR"};
    const std::vector<std::string> sources[] = {{run.files[0].source.attributes.sop_instance_uid},
                                                {run.files[1].source.attributes.sop_instance_uid},
                                                {run.files[0].source.attributes.sop_instance_uid,
                                                 run.files[1].source.attributes.sop_instance_uid}};
    std::set<std::string> instances;
    for (std::size_t k = 0; k < written.size(); ++k) {
        DcmDataset& data = *written[k]->file.getDataset();
        EXPECT_EQ(text_in(data, DCM_SOPClassUID), "1.2.840.10008.5.1.4.1.1.30");
        EXPECT_EQ(text_in(data, DCM_StudyInstanceUID), input.study_instance_uid);
        EXPECT_EQ(text_in(data, DCM_FrameOfReferenceUID), input.frame_of_reference_uid);
        EXPECT_EQ(text_in(data, DCM_SeriesInstanceUID), maps.record.series_instance_uid);
        EXPECT_NE(text_in(data, DCM_SeriesInstanceUID), input.series_instance_uid);
        EXPECT_EQ(text_in(data, DCM_SeriesNumber), "1208134500");  // the run's month, day and time
        EXPECT_EQ(all_of(data, DCM_SliceThickness), std::vector<std::string>{"5"});
        EXPECT_EQ(text_in(data, DCM_PatientID), "PH001");
        EXPECT_EQ(text_in(data, DCM_PatientName), "QA^PHANTOM");
        EXPECT_EQ(all_of(data, DCM_PixelSpacing), std::vector<std::string>{"0.9375\\0.9375"});
        EXPECT_EQ(all_of(data, DCM_ImagePositionPatient), std::vector<std::string>{"-120\\-120\\10"});
        instances.insert(text_in(data, DCM_SOPInstanceUID));
        // The quantity and its unit.
        EXPECT_EQ(all_of(data, DCM_LUTLabel), std::vector<std::string>{labels[k]});
        const auto codes = all_of(data, DCM_CodeValue);
        EXPECT_NE(std::find(codes.begin(), codes.end(), "1"), codes.end());  // UCUM "1", no units
        EXPECT_EQ(all_of(data, DCM_RealWorldValueSlope), std::vector<std::string>{"1"});
        // The sources, in the derivation and in the references to other series.
        EXPECT_EQ(all_of(data, DCM_ReferencedSOPInstanceUID).size(), 2 * sources[k].size());
        for (const std::string& source : sources[k]) {
            const auto referenced = all_of(data, DCM_ReferencedSOPInstanceUID);
            EXPECT_EQ(std::count(referenced.begin(), referenced.end(), source), 2) << labels[k];
        }
        EXPECT_EQ(all_of(data, DCM_ReferencedSeriesSequence).size(), 1u) << labels[k];
    }
    EXPECT_EQ(instances.size(), 3u);

    // Never an input's series.
    run.files[1].source.attributes.series_number = "1208134500";
    run.files[0].source.attributes.series_number = " 1208134501";
    DcmFileFormat again;
    const std::string bytes = parametric_maps(run, "0.1.0").files[0].bytes;
    test::write_bytes(tmp.file("again.dcm"), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    ASSERT_TRUE(again.loadFile(tmp.file("again.dcm").c_str()).good());
    EXPECT_EQ(text_in(*again.getDataset(), DCM_SeriesNumber), "1208134502");
}

TEST(ParametricMaps, RawInputsGetAStudyOfTheirOwn)
{
    test::TempFolder tmp;
    RunRecord run = test::hand_run();
    for (InputFile& file : run.files)
        file.source = SliceSource{};
    run.planes.resize(2);  // without the g-factor: a signal image and the no-PI SNR map
    const ParametricMaps maps = parametric_maps(run, "0.1.0");
    EXPECT_TRUE(maps.record.new_study);
    EXPECT_EQ(maps.record.study_instance_uid.rfind("2.25.", 0), 0u);
    EXPECT_NE(maps.record.frame_of_reference_uid, maps.record.study_instance_uid);
    const auto written = write_and_check(tmp, run, maps);
    ASSERT_EQ(written.size(), 1u);
    DcmDataset& data = *written[0]->file.getDataset();
    EXPECT_EQ(text_in(data, DCM_StudyInstanceUID), maps.record.study_instance_uid);
    EXPECT_EQ(text_in(data, DCM_StudyDate), "20261208");
    EXPECT_EQ(all_of(data, DCM_PixelSpacing), std::vector<std::string>{"1\\1"});
    EXPECT_TRUE(all_of(data, DCM_ReferencedSOPInstanceUID).empty());

    // A second run starts another study.
    EXPECT_NE(parametric_maps(run, "0.1.0").record.study_instance_uid, maps.record.study_instance_uid);
}

}  // namespace
}  // namespace snr::report
