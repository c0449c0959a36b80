// SPDX-License-Identifier: BSD-3-Clause
#include "report/dicom_documents.h"

#include <cstdio>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmsr/cmr/init.h>
#include <dcmtk/dcmsr/cmr/logger.h>
#include <dcmtk/dcmsr/cmr/tid1500.h>
#include <dcmtk/dcmsr/codes/dcm.h>
#include <dcmtk/dcmsr/dsrdoc.h>

#include "core/dicom_file_bytes.h"
#include "core/dicom_text.h"
#include "core/errors.h"
#include "report/dicom_study.h"

namespace snr::report {

namespace {

void check(const OFCondition& condition, const char* what)
{
    if (condition.bad())
        throw Error(std::string("DICOM の結果を作れません (") + what + ": " + condition.text() + ")");
}

void put(DcmItem& data, const DcmTagKey& key, const std::string& value)
{
    check(data.putAndInsertString(key, value.c_str()), "attribute");
}

// The series every document starts with, after the maps' series.
void put_series(DcmItem& data, StudyContext& context, const char* modality, int offset, const char* description)
{
    put_patient_and_study(data, context);
    put(data, DCM_Modality, modality);
    put(data, DCM_SeriesInstanceUID, new_uid());
    put(data, DCM_SeriesNumber, std::to_string(std::stol(context.series_number) + offset));
    put(data, DCM_SeriesDescription, description);
    put(data, DCM_InstanceNumber, "1");
    put(data, DCM_ContentDate, context.date);
    put(data, DCM_ContentTime, context.time);
}

MapFile encapsulated_pdf(StudyContext& context, const std::string& pdf, const std::string& version)
{
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    put(data, DCM_SOPClassUID, UID_EncapsulatedPDFStorage);
    put(data, DCM_SOPInstanceUID, new_uid());
    put_series(data, context, "DOC", 1, "SNR report");
    put(data, DCM_Manufacturer, "snr-maps");
    put(data, DCM_SoftwareVersions, version);
    put(data, DCM_ConversionType, "WSD");
    put(data, DCM_AcquisitionDateTime, context.date + context.time);
    put(data, DCM_BurnedInAnnotation, "NO");
    put(data, DCM_DocumentTitle, "SNR and g-factor report");
    check(data.insertEmptyElement(DCM_ConceptNameCodeSequence), "concept name");
    put(data, DCM_MIMETypeOfEncapsulatedDocument, "application/pdf");
    std::string bytes = pdf;
    if (bytes.size() % 2 != 0)
        bytes.push_back('\0');  // a value has an even length
    check(data.putAndInsertUint8Array(DCM_EncapsulatedDocument, reinterpret_cast<const Uint8*>(bytes.data()),
                                      static_cast<unsigned long>(bytes.size())),
          "document");
    check(data.putAndInsertUint32(DCM_EncapsulatedDocumentLength, static_cast<Uint32>(pdf.size())), "length");
    return {"report.dcm", dicom_file_bytes(file, EXS_LittleEndianExplicit)};
}

std::string decimal(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);  // a DS holds 16 characters
    return text;
}

// A figure of the group's quantity, where there is one.
void add_figure(CMR_TID1501_in_TID1500& group, const MapKind& kind, const CID7464_GeneralRegionOfInterestMeasurementModifiers& how,
                const std::optional<double>& value)
{
    if (!value)
        return;
    const CMR_SRNumericMeasurementValue number(decimal(*value).c_str(), DSRCodedEntryValue("1", "UCUM", "no units"));
    check(group.addMeasurement(DSRCodedEntryValue(kind.code, kind.scheme, kind.meaning), number, OFFalse), "measurement");
    check(group.getMeasurement().setDerivation(how), "derivation");
}

// The first DICOM input a map derives from: where its ROIs were drawn.
const InputFile* source_of(const RunRecord& run, const MapKind& kind)
{
    for (const InputFile& file : run.files) {
        if (derives_from(kind, file))
            return &file;
    }
    return nullptr;
}

MapFile measurement_report(const RunRecord& run, StudyContext& context, const std::string& version)
{
    CMR_TID1500 report(CMR_CID7021::ImagingMeasurementReport);
    check(report.addProcedureReported(DSRCodedEntryValue("113091000", "SCT", "Magnetic Resonance Imaging")),
          "procedure");
    check(report.getObservationContext().addDeviceObserver(new_uid().c_str(), "snrmap", "snr-maps", version.c_str()),
          "observer");
    DSRDocument document(DSRTypes::DT_EnhancedSR);
    std::vector<const InputFile*> referenced;
    for (std::size_t k = 0; k < run.planes.size(); ++k) {
        const ResultPlane& plane = run.planes[k];
        if (plane.kind == ItemKind::Other)
            continue;
        const MapKind kind = map_kind(plane);
        check(report.addIndividualMeasurements(), "group");
        auto& group = report.getIndividualMeasurements();
        check(group.setTrackingIdentifier(plane.name.c_str()), "tracking");
        check(group.setTrackingUniqueIdentifier(new_uid().c_str()), "tracking");
        add_figure(group, kind, CMR_CID7464::Mean, plane.figures.mean);
        add_figure(group, kind, CMR_CID7464::Minimum, plane.figures.min);
        add_figure(group, kind, CMR_CID7464::Maximum, plane.figures.max);
        const InputFile* source = source_of(run, kind);
        for (std::size_t r = 0; r < run.rois.size(); ++r) {
            const RoiFigures& figures = run.rois[r];
            const RoiStats& stats = figures.planes.at(k);
            if (stats.n == 0)
                continue;
            check(report.addIndividualMeasurements(), "group");
            auto& roi = report.getIndividualMeasurements();
            check(roi.setTrackingIdentifier(("ROI " + std::to_string(r + 1) + " " + plane.name).c_str()), "tracking");
            check(roi.setTrackingUniqueIdentifier(new_uid().c_str()), "tracking");
            add_figure(roi, kind, CMR_CID7464::Mean, stats.mean);
            add_figure(roi, kind, CMR_CID7464::StandardDeviation, stats.sd);
            add_figure(roi, kind, CMR_CID7464::Minimum, stats.min);
            add_figure(roi, kind, CMR_CID7464::Maximum, stats.max);
            if (source == nullptr)
                continue;
            // The rectangle's outline over the pixels' edges, in the image's columns and rows.
            const Roi& box = figures.roi;
            DSRSpatialCoordinatesValue outline(DSRTypes::GT_Polyline);
            const auto left = static_cast<Float32>(box.column), top = static_cast<Float32>(box.row);
            const auto right = static_cast<Float32>(box.column + box.width);
            const auto bottom = static_cast<Float32>(box.row + box.height);
            for (const auto& [x, y] : {std::pair{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}})
                outline.getGraphicDataList().addItem(x, y);
            const DicomAttributes& a = source->source.attributes;
            check(roi.getMeasurement().addSpatialCoordinates(
                      DSRCodedEntryValue("111030", "DCM", "Image Region"), outline,
                      DSRImageReferenceValue(trimmed(a.sop_class_uid).c_str(), trimmed(a.sop_instance_uid).c_str())),
                  "region");
            referenced.push_back(source);
        }
    }
    check(document.setTreeFromRootTemplate(report, OFTrue), "report");
    for (const InputFile* source : referenced) {
        const DicomAttributes& a = source->source.attributes;
        check(document.getCurrentRequestedProcedureEvidence().addItem(
                  trimmed(a.study_instance_uid).c_str(), trimmed(a.series_instance_uid).c_str(),
                  trimmed(a.sop_class_uid).c_str(), trimmed(a.sop_instance_uid).c_str()),
              "evidence");
    }
    document.setManufacturer("snr-maps");
    document.setSoftwareVersions(version.c_str());
    document.completeDocument();
    DcmFileFormat file;
    check(document.write(*file.getDataset()), "document");
    DcmDataset& data = *file.getDataset();
    put_series(data, context, "SR", 2, "SNR measurements");
    return {"measurements.dcm", dicom_file_bytes(file, EXS_LittleEndianExplicit)};
}

}  // namespace

std::vector<MapFile> dicom_documents(const RunRecord& run, const std::string& pdf, const std::string& version)
{
    prepare_dicom_writing();
    DCM_dcmsrLogger.setLogLevel(OFLogger::OFF_LOG_LEVEL);
    DCM_dcmsrCmrLogger.setLogLevel(OFLogger::OFF_LOG_LEVEL);
    static const bool groups_ready = (CMR_ContentMappingResource::initializeAllContextGroups(), true);
    (void)groups_ready;
    StudyContext context = study_context(run);
    if (run.dicom_maps)
        context.study_uid = run.dicom_maps->study_instance_uid;
    return {encapsulated_pdf(context, pdf, version), measurement_report(run, context, version)};
}

}  // namespace snr::report
