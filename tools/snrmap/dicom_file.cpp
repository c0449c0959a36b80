// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/dicom_file.h"

#include <stdexcept>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcuid.h>

#include "core/dicom_image.h"

namespace snr::snrmap {

namespace {

constexpr char implementation_class_uid[] = "2.25.164339218935392045938265372651081327406";
constexpr char implementation_version[] = "SNRMAP";

struct Text {
    DcmTagKey key;
    std::string value;
};

void put(DcmItem& item, const Text& text)
{
    if (item.putAndInsertString(text.key, text.value.c_str()).bad())
        throw std::logic_error("DICOM element not written");
}

}  // namespace

std::string dicom_bytes(const DicomImage& image, const StoredPixels& pixels)
{
    prepare_dicom_writing();
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    // Type 1 and 2 attributes of the modules, in module order. A phantom has no birth date or
    // sex, no paired body part, and no dates, so that a seed always gives the same files.
    const Text texts[] = {
        {DCM_SOPClassUID, UID_MRImageStorage}, {DCM_SOPInstanceUID, image.sop_instance_uid},
        // Patient
        {DCM_PatientName, "SNR^PHANTOM"}, {DCM_PatientID, "SNRPHANTOM"}, {DCM_PatientBirthDate, ""},
        {DCM_PatientSex, "O"},
        // General Study
        {DCM_StudyInstanceUID, image.study_instance_uid}, {DCM_StudyDate, ""}, {DCM_StudyTime, ""},
        {DCM_ReferringPhysicianName, ""}, {DCM_StudyID, "PHANTOM"}, {DCM_AccessionNumber, ""},
        // General Series
        {DCM_Modality, "MR"}, {DCM_SeriesInstanceUID, image.series_instance_uid},
        {DCM_SeriesNumber, std::to_string(image.series_number)}, {DCM_SeriesDescription, image.series_description},
        {DCM_Laterality, ""}, {DCM_PatientPosition, "HFS"},
        // Frame of Reference, General Equipment, General Image
        {DCM_FrameOfReferenceUID, image.frame_of_reference_uid}, {DCM_PositionReferenceIndicator, ""},
        {DCM_Manufacturer, "snrmap"}, {DCM_ManufacturerModelName, "phantom"},
        {DCM_InstanceNumber, std::to_string(image.instance_number)},
        // Image Plane: one axial slice of 1 mm pixels
        {DCM_PixelSpacing, "1\\1"}, {DCM_ImageOrientationPatient, "1\\0\\0\\0\\1\\0"},
        {DCM_ImagePositionPatient, "-128\\-128\\0"}, {DCM_SliceThickness, "5"},
        // MR Image: a spin echo
        {DCM_ImageType, "ORIGINAL\\PRIMARY\\OTHER"}, {DCM_ScanningSequence, "SE"}, {DCM_SequenceVariant, "NONE"},
        {DCM_ScanOptions, ""}, {DCM_MRAcquisitionType, "2D"}, {DCM_RepetitionTime, "500"}, {DCM_EchoTime, "20"},
        {DCM_EchoTrainLength, "1"},
        // Image Pixel
        {DCM_PhotometricInterpretation, "MONOCHROME2"}};
    for (const Text& text : texts)
        put(data, text);
    // Whether the image was acquired with parallel imaging, and its reduction: what an archive's
    // scan pairs a series without and one with parallel imaging by.
    for (const Text& text : {Text{DCM_ParallelAcquisition, image.parallel_acquisition},
                             Text{DCM_ParallelReductionFactorInPlane, image.reduction_factor}}) {
        if (!text.value.empty())
            put(data, text);
    }
    const std::pair<DcmTagKey, Uint16> numbers[] = {
        {DCM_SamplesPerPixel, 1}, {DCM_Rows, plane_side},  {DCM_Columns, plane_side},       {DCM_BitsAllocated, 16},
        {DCM_BitsStored, 16},     {DCM_HighBit, 15},       {DCM_PixelRepresentation, 1}};
    for (const auto& [key, value] : numbers) {
        if (data.putAndInsertUint16(key, value).bad())
            throw std::logic_error("DICOM element not written");
    }
    std::vector<Uint16> words(pixels.begin(), pixels.end());
    if (data.putAndInsertUint16Array(DCM_PixelData, words.data(), plane_pixels).bad())
        throw std::logic_error("DICOM pixel data not written");

    // The meta group names this program as the writer; its length is counted once that is in.
    const E_TransferSyntax xfer = EXS_LittleEndianExplicit;
    DcmMetaInfo& meta = *file.getMetaInfo();
    file.validateMetaInfo(xfer, EWM_createNewMeta);
    put(meta, {DCM_ImplementationClassUID, implementation_class_uid});
    put(meta, {DCM_ImplementationVersionName, implementation_version});
    if (meta.computeGroupLengthAndPadding(EGL_recalcGL, EPD_noChange, xfer).bad())
        throw std::logic_error("DICOM meta group not counted");
    std::string bytes(file.calcElementLength(xfer, EET_ExplicitLength) + 1024, '\0');
    DcmOutputBufferStream stream(bytes.data(), static_cast<offile_off_t>(bytes.size()));
    file.transferInit();
    DCM_dcmdataLogger.setLogLevel(OFLogger::ERROR_LOG_LEVEL);  // not the notice that the meta group is kept
    const OFCondition written =
        file.write(stream, xfer, EET_ExplicitLength, nullptr, EGL_recalcGL, EPD_noChange, 0, 0, 0, EWM_dontUpdateMeta);
    file.transferEnd();
    void* start = nullptr;
    offile_off_t length = 0;
    stream.flushBuffer(start, length);
    if (written.bad() || start != bytes.data())
        throw std::logic_error(std::string("DICOM file not written: ") + written.text());
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

}  // namespace snr::snrmap
