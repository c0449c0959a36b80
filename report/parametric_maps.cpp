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

#include "core/dicom_file_bytes.h"
#include "core/dicom_image.h"
#include "core/dicom_text.h"
#include "core/gfactor.h"
#include "core/legend.h"
#include "core/utf8.h"
#include "report/dicom_study.h"

namespace snr::report {

namespace {

using Context = StudyContext;

void check(const OFCondition& condition, const char* what)
{
    if (condition.bad())
        throw Error(std::string("DICOM パラメトリックマップを作れません (") + what + ": " + condition.text() + ")");
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
        if (!derives_from(kind, file))
            continue;
        const DicomAttributes& a = file.source.attributes;
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
    return {plane.name + ".dcm", dicom_file_bytes(file, EXS_LittleEndianExplicit)};
}

}  // namespace

ParametricMaps parametric_maps(const RunRecord& run, const std::string& version)
{
    prepare_dicom_writing();
    // A failure is reported as the exception's text; the toolkit's log would only repeat it.
    for (OFLogger* logger : {&DCM_dcmiodLogger, &DCM_dcmfgLogger, &DCM_dcmpmapLogger})
        logger->setLogLevel(OFLogger::OFF_LOG_LEVEL);
    Context context = study_context(run);
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
