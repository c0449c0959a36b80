// SPDX-License-Identifier: BSD-3-Clause
#include "report/parametric_maps.h"

#include <algorithm>
#include <random>
#include <set>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmfg/fgfracon.h>
#include <dcmtk/dcmfg/fgframeanatomy.h>
#include <dcmtk/dcmfg/fgpixeltransform.h>
#include <dcmtk/dcmiod/iodreferences.h>
#include <dcmtk/dcmiod/modfloatingpointimagepixel.h>
#include <dcmtk/dcmpmap/dpmparametricmapiod.h>

#include "core/dicom_image.h"
#include "core/dicom_text.h"
#include "core/gfactor.h"
#include "core/legend.h"
#include "core/utf8.h"

namespace snr::report {

namespace {

// What every map of the run shares: the study, the series and the plane they lie in.
struct Context {
    const DicomAttributes* study = nullptr;  // the input whose study the maps join; none for a new one
    std::string study_uid, series_uid, frame_of_reference_uid;
    std::string date, time;  // of the run, DICOM DA and TM
    std::string series_number;
    std::string pixel_spacing = "1\\1", slice_thickness;
    std::vector<std::string> orientation{"1", "0", "0", "0", "1", "0"}, position{"0", "0", "0"};
    bool utf8 = false;  // some text copied from an input is UTF-8 beyond ASCII
};

void check(const OFCondition& condition, const char* what)
{
    if (condition.bad())
        throw Error(std::string("DICOM パラメトリックマップを作れません (") + what + ": " + condition.text() + ")");
}

// A UID under the 2.25 root: a random (version 4) UUID as a decimal number.
std::string new_uid()
{
    std::random_device random;
    unsigned __int128 number = 0;
    for (int k = 0; k < 4; ++k)
        number = (number << 32) | random();
    number = (number & ~(static_cast<unsigned __int128>(0xF000) << 64)) |
             (static_cast<unsigned __int128>(0x4000) << 64);
    number = (number & ~(static_cast<unsigned __int128>(0xC) << 60)) | (static_cast<unsigned __int128>(0x8) << 60);
    return uid_of(number);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The values of a multi-valued text, each trimmed.
std::vector<std::string> values_of(const std::string& text)
{
    std::vector<std::string> values;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\\', from)) != std::string::npos; from = at + 1)
        values.push_back(trimmed(text.substr(from, at - from)));
    values.push_back(trimmed(text.substr(from)));
    return values;
}

bool valid_utf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_at(text, at).length;
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

// A text copied from an input as written: ASCII, or UTF-8 (declared then); a text in any
// other character set, which the record does not name, is left out rather than mislabelled.
std::string copied(const std::string& text, Context& context)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x80 && byte != 0x1B;
    });
    if (ascii)
        return trimmed(text);
    if (text.find('\x1B') != std::string::npos || !valid_utf8(text))
        return {};
    context.utf8 = true;
    return trimmed(text);
}

// The maps' series number: the run's month, day and time (1208134500 for 8 December,
// 13:45:00), apart from the scanner's series, which count from 1 by ones, hundreds or
// thousands, and from the maps of the study's other runs; never the number of an input's series.
long long series_number(const RunRecord& run, const std::string& run_digits)
{
    std::set<long long> taken;
    for (const InputFile& file : run.files) {
        const std::string number = trimmed(file.source.attributes.series_number);
        if (file.source.dicom && !number.empty() && number.size() < 12 &&
            std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            taken.insert(std::stoll(number));
    }
    long long number = run_digits.size() == 14 ? std::stoll(run_digits.substr(4)) : 1000;
    while (taken.contains(number))
        ++number;
    return number;
}

Context make_context(const RunRecord& run)
{
    Context context;
    for (const InputFile& file : run.files) {
        if (file.source.dicom && !file.source.attributes.study_instance_uid.empty()) {
            context.study = &file.source.attributes;
            break;
        }
    }
    context.study_uid = context.study ? context.study->study_instance_uid : new_uid();
    context.frame_of_reference_uid = context.study && !context.study->frame_of_reference_uid.empty()
                                         ? context.study->frame_of_reference_uid
                                         : new_uid();
    context.series_uid = new_uid();
    if (context.study) {
        const DicomAttributes& a = *context.study;
        // The input's plane, where it gives all of it.
        const auto orientation = values_of(a.image_orientation), position = values_of(a.image_position);
        if (values_of(a.pixel_spacing).size() == 2 && orientation.size() == 6 && position.size() == 3) {
            context.pixel_spacing = trimmed(a.pixel_spacing);
            context.orientation = orientation;
            context.position = position;
        }
        context.slice_thickness = trimmed(a.slice_thickness);
    }
    // "2026-12-08T13:45:00+09:00": the run's local date and time.
    std::string digits;
    for (char c : run.time.substr(0, 19))
        if (c >= '0' && c <= '9')
            digits += c;
    if (digits.size() == 14) {
        context.date = digits.substr(0, 8);
        context.time = digits.substr(8);
    }
    context.series_number = std::to_string(series_number(run, digits));
    return context;
}

struct MapKind {
    const char* label;        // Content Label and LUT Label (CS / SH)
    const char* description;  // Content Description and LUT Explanation
    const char* code;         // the quantity
    const char* scheme;
    const char* meaning;
    const char* role_prefix;  // of the inputs it derives from; "" for all
};

MapKind map_kind(const ResultPlane& plane)
{
    if (plane.kind == ItemKind::GFactor)
        return {"GFACTOR", "g-factor (SNR no PI / (sqrt(R) x SNR PI))", "G-FACTOR", "99SNRMAP", "g-factor", ""};
    const bool with_pi = plane.name.size() >= 3 && plane.name.compare(plane.name.size() - 3, 3, "_pi") == 0;
    if (with_pi)
        return {"SNR_PI", "SNR with parallel imaging", "111787", "DCM", "Signal to Noise Ratio", "pi"};
    return {"SNR_NOPI", "SNR without parallel imaging", "111787", "DCM", "Signal to Noise Ratio", "nopi"};
}

std::string file_bytes(DcmFileFormat& file)
{
    const E_TransferSyntax xfer = EXS_LittleEndianExplicit;
    check(file.validateMetaInfo(xfer), "meta");
    std::string bytes(file.calcElementLength(xfer, EET_ExplicitLength) + 4096, '\0');
    DcmOutputBufferStream stream(bytes.data(), static_cast<offile_off_t>(bytes.size()));
    file.transferInit();
    const OFCondition written = file.write(stream, xfer, EET_ExplicitLength, nullptr);
    file.transferEnd();
    void* start = nullptr;
    offile_off_t length = 0;
    stream.flushBuffer(start, length);
    check(written, "write");
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

void set_patient_and_study(DPMParametricMapIOD& map, Context& context)
{
    IODPatientModule& patient = map.getPatient();
    IODGeneralStudyModule& study = map.getStudy();
    check(study.setStudyInstanceUID(context.study_uid), "study");
    if (context.study) {
        const DicomAttributes& a = *context.study;
        // Texts that do not pass as their kind stay empty (each is type 2).
        patient.setPatientName(copied(a.patient_name, context));
        patient.setPatientID(copied(a.patient_id, context));
        patient.setPatientBirthDate(copied(a.patient_birth_date, context));
        patient.setPatientSex(copied(a.patient_sex, context));
        study.setStudyDate(copied(a.study_date, context));
        study.setStudyTime(copied(a.study_time, context));
        study.setStudyID(copied(a.study_id, context));
        study.setAccessionNumber(copied(a.accession_number, context));
        study.setReferringPhysicianName(copied(a.referring_physician, context));
    } else {
        study.setStudyDate(context.date);
        study.setStudyTime(context.time);
    }
    check(map.getFrameOfReference().setFrameOfReferenceUID(context.frame_of_reference_uid), "frame of reference");
    check(map.getSeries().setSeriesInstanceUID(context.series_uid), "series");
    map.getSeries().setSeriesDescription("SNR and g-factor maps");
    map.getSeries().setSeriesDate(context.date);
    map.getSeries().setSeriesTime(context.time);
    map.getIODMultiFrameFGModule().setContentDate(context.date);
    map.getIODMultiFrameFGModule().setContentTime(context.time);
    if (context.utf8)
        map.getSOPCommon().setSpecificCharacterSet("ISO_IR 192");
}

// The derivation from each DICOM input of the map's roles, and the same in the instance
// references.
void add_sources(DPMParametricMapIOD& map, const RunRecord& run, const MapKind& kind, Context& context)
{
    FGDerivationImage derivation;
    DerivationImageItem* item = nullptr;
    check(derivation.addDerivationImageItem(CodeSequenceMacro("110001", "DCM", "Image Processing"),
                                            "Pixelwise SNR measurement", item),
          "derivation");
    IODReferences references;
    for (const InputFile& file : run.files) {
        const DicomAttributes& a = file.source.attributes;
        if (!file.source.dicom || a.sop_instance_uid.empty() || a.sop_class_uid.empty() ||
            file.role.rfind(kind.role_prefix, 0) != 0)
            continue;
        auto* source = new SourceImageItem();
        source->getPurposeOfReferenceCode().set("121322", "DCM", "Source image for image processing operation");
        source->getImageSOPInstanceReference().setReferencedSOPClassUID(trimmed(a.sop_class_uid));
        source->getImageSOPInstanceReference().setReferencedSOPInstanceUID(trimmed(a.sop_instance_uid));
        item->getSourceImageItems().push_back(source);
        references.add(new IODImageReference(copied(a.patient_id, context), trimmed(a.study_instance_uid),
                                             trimmed(a.series_instance_uid), trimmed(a.sop_instance_uid),
                                             trimmed(a.sop_class_uid)));
    }
    if (item->getSourceImageItems().empty())
        return;
    check(map.addForAllFrames(derivation), "derivation");
    map.getCommonInstanceReference().addReferences(references, context.study_uid);
}

void add_shared_groups(DPMParametricMapIOD& map, const Context& context, const MapKind& kind, double low, double high)
{
    FGPixelMeasures measures;
    check(measures.setPixelSpacing(context.pixel_spacing), "pixel spacing");
    if (!context.slice_thickness.empty())
        measures.setSliceThickness(context.slice_thickness);  // left out where it is no number
    check(map.addForAllFrames(measures), "pixel measures");
    FGPlaneOrientationPatient orientation;
    const auto& o = context.orientation;
    check(orientation.setImageOrientationPatient(o[0].c_str(), o[1].c_str(), o[2].c_str(), o[3].c_str(), o[4].c_str(),
                                                 o[5].c_str()),
          "orientation");
    check(map.addForAllFrames(orientation), "orientation");

    FGFrameAnatomy anatomy;
    anatomy.setLaterality(FGFrameAnatomy::LATERALITY_UNPAIRED);
    anatomy.getAnatomy().getAnatomicRegion().set("38266002", "SCT", "Entire body");
    check(map.addForAllFrames(anatomy), "anatomy");
    FGPixelValueTransformation identity;
    identity.setFGType(FGPixelValueTransformation::E_PixelValTrans_Identity);
    check(map.addForAllFrames(identity), "identity");
    FGParametricMapFrameType frame_type;
    check(frame_type.setFrameType("DERIVED\\PRIMARY\\VOLUME\\NONE"), "frame type");
    check(map.addForAllFrames(frame_type), "frame type");

    // The stored values are the quantity: slope 1, intercept 0, over the range they span.
    FGRealWorldValueMapping mapping;
    auto* item = new FGRealWorldValueMapping::RWVMItem();
    item->setDoubleFloatRealWorldValueFirstValueMapped(low);
    item->setDoubleFloatRealWorldValueLastValueMapped(high);
    item->setRealWorldValueSlope(1);
    item->setRealWorldValueIntercept(0);
    item->setLUTExplanation(kind.description);
    item->setLUTLabel(kind.label);
    item->getMeasurementUnitsCode().set("1", "UCUM", "no units");
    auto* quantity = new ContentItemMacro();
    quantity->setValueType(ContentItemMacro::VT_CODE);
    quantity->getEntireConceptNameCodeSequence().push_back(new CodeSequenceMacro("246205007", "SCT", "Quantity"));
    quantity->getEntireConceptCodeSequence().push_back(new CodeSequenceMacro(kind.code, kind.scheme, kind.meaning));
    item->getEntireQuantityDefinitionSequence().push_back(quantity);
    mapping.getRealWorldValueMapping().push_back(item);
    check(map.addForAllFrames(mapping), "real world value mapping");
}

MapFile map_file(const RunRecord& run, const ResultPlane& plane, int instance, Context& context,
                 const std::string& version)
{
    const MapKind kind = map_kind(plane);
    // The values measured: under the legend box those the computation gave there.
    std::vector<Float64> values(plane.plane->begin(), plane.plane->end());
    if (plane.legend_box != nullptr)
        put_box_values(values, *plane.legend_box);
    if (plane.kind == ItemKind::GFactor)
        std::transform(values.begin(), values.end(), values.begin(), in_g);
    const auto [low, high] = std::minmax_element(values.begin(), values.end());

    const IODEnhGeneralEquipmentModule::EquipmentInfo equipment("snr-maps", "snrmap", "1", version.c_str());
    const ContentIdentificationMacro content(std::to_string(instance).c_str(), kind.label, kind.description, "");
    auto created = DPMParametricMapIOD::create<IODDoubleFloatingPointImagePixelModule>(
        "MR", context.series_number.c_str(), std::to_string(instance).c_str(), plane_side, plane_side, equipment,
        content, "VOLUME", "NONE", DPMTypes::CQ_SERVICE);
    if (OFCondition* failed = OFget<OFCondition>(&created))
        check(*failed, "create");
    DPMParametricMapIOD& map = *OFget<DPMParametricMapIOD>(&created);
    check(map.getSOPCommon().setSOPInstanceUID(new_uid()), "instance");
    set_patient_and_study(map, context);
    check(map.setRecognizableVisualFeatures(DPMTypes::RVF_NO), "visual features");
    add_sources(map, run, kind, context);
    add_shared_groups(map, context, kind, *low, *high);

    // One frame, indexed by its position in the plane position sequence.
    check(map.getIODMultiframeDimensionModule().addDimensionIndex(DCM_ImagePositionPatient, new_uid().c_str(),
                                                                  DCM_PlanePositionSequence, "Plane position"),
          "dimension");
    FGPlanePosPatient position;
    const auto& p = context.position;
    check(position.setImagePositionPatient(p[0].c_str(), p[1].c_str(), p[2].c_str()), "position");
    FGFrameContent frame_content;
    check(frame_content.setDimensionIndexValues(1, 0), "dimension index");
    const OFVector<FGBase*> per_frame{&position, &frame_content};
    auto frames = map.getFrames();
    auto* doubles = OFget<DPMParametricMapIOD::Frames<Float64>>(&frames);
    if (doubles == nullptr)
        throw Error("DICOM パラメトリックマップを作れません (frames)");
    check(doubles->addFrame(values.data(), values.size(), per_frame), "frame");

    DcmFileFormat file;
    check(map.write(*file.getDataset()), "map");
    return {plane.name + ".dcm", file_bytes(file)};
}

}  // namespace

ParametricMaps parametric_maps(const RunRecord& run, const std::string& version)
{
    prepare_dicom_writing();
    // A failure is reported as the exception's text; the toolkit's log would only repeat it.
    for (OFLogger* logger : {&DCM_dcmiodLogger, &DCM_dcmfgLogger, &DCM_dcmpmapLogger})
        logger->setLogLevel(OFLogger::OFF_LOG_LEVEL);
    Context context = make_context(run);
    ParametricMaps maps;
    maps.record.new_study = context.study == nullptr;
    maps.record.study_instance_uid = context.study_uid;
    maps.record.series_instance_uid = context.series_uid;
    maps.record.frame_of_reference_uid = context.frame_of_reference_uid;
    int instance = 0;
    for (const ResultPlane& plane : run.planes) {
        if (plane.kind == ItemKind::Other)
            continue;
        maps.files.push_back(map_file(run, plane, ++instance, context, version));
        maps.record.files.push_back(maps.files.back().name);
    }
    return maps;
}

}  // namespace snr::report
