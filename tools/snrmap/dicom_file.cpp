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

namespace snr::snrmap {

namespace {

constexpr char implementation_class_uid[] = "2.25.164339218935392045938265372651081327406";
constexpr char implementation_version[] = "SNRMAP";

void put(DcmItem& item, const DcmTagKey& key, const std::string& value)
{
    if (item.putAndInsertString(key, value.c_str()).bad())
        throw std::logic_error("DICOM element not written");
}

void put(DcmItem& item, const DcmTagKey& key, Uint16 value)
{
    if (item.putAndInsertUint16(key, value).bad())
        throw std::logic_error("DICOM element not written");
}

}  // namespace

std::string dicom_bytes(const DicomImage& image, const StoredPixels& pixels)
{
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    // SOP Common
    put(data, DCM_SOPClassUID, UID_MRImageStorage);
    put(data, DCM_SOPInstanceUID, image.sop_instance_uid);
    // Patient: a phantom has no birth date or sex.
    put(data, DCM_PatientName, "SNR^PHANTOM");
    put(data, DCM_PatientID, "SNRPHANTOM");
    put(data, DCM_PatientBirthDate, "");
    put(data, DCM_PatientSex, "O");
    // General Study: no dates, so that a seed always gives the same files.
    put(data, DCM_StudyInstanceUID, image.study_instance_uid);
    put(data, DCM_StudyDate, "");
    put(data, DCM_StudyTime, "");
    put(data, DCM_ReferringPhysicianName, "");
    put(data, DCM_StudyID, "PHANTOM");
    put(data, DCM_AccessionNumber, "");
    // General Series
    put(data, DCM_Modality, "MR");
    put(data, DCM_SeriesInstanceUID, image.series_instance_uid);
    put(data, DCM_SeriesNumber, std::to_string(image.series_number));
    put(data, DCM_SeriesDescription, image.series_description);
    put(data, DCM_Laterality, "");  // no paired body part
    put(data, DCM_PatientPosition, "HFS");
    // Frame of Reference
    put(data, DCM_FrameOfReferenceUID, image.frame_of_reference_uid);
    put(data, DCM_PositionReferenceIndicator, "");
    // General Equipment
    put(data, DCM_Manufacturer, "snrmap");
    put(data, DCM_ManufacturerModelName, "phantom");
    // General Image
    put(data, DCM_InstanceNumber, std::to_string(image.instance_number));
    // Image Plane: one axial slice of 1 mm pixels.
    put(data, DCM_PixelSpacing, "1\\1");
    put(data, DCM_ImageOrientationPatient, "1\\0\\0\\0\\1\\0");
    put(data, DCM_ImagePositionPatient, "-128\\-128\\0");
    put(data, DCM_SliceThickness, "5");
    // MR Image: a spin echo.
    put(data, DCM_ImageType, "ORIGINAL\\PRIMARY\\OTHER");
    put(data, DCM_ScanningSequence, "SE");
    put(data, DCM_SequenceVariant, "NONE");
    put(data, DCM_ScanOptions, "");
    put(data, DCM_MRAcquisitionType, "2D");
    put(data, DCM_RepetitionTime, "500");
    put(data, DCM_EchoTime, "20");
    put(data, DCM_EchoTrainLength, "1");
    // Image Pixel
    put(data, DCM_SamplesPerPixel, Uint16{1});
    put(data, DCM_PhotometricInterpretation, "MONOCHROME2");
    put(data, DCM_Rows, Uint16{plane_side});
    put(data, DCM_Columns, Uint16{plane_side});
    put(data, DCM_BitsAllocated, Uint16{16});
    put(data, DCM_BitsStored, Uint16{16});
    put(data, DCM_HighBit, Uint16{15});
    put(data, DCM_PixelRepresentation, Uint16{1});
    std::vector<Uint16> words(pixels.begin(), pixels.end());
    if (data.putAndInsertUint16Array(DCM_PixelData, words.data(), plane_pixels).bad())
        throw std::logic_error("DICOM pixel data not written");

    // The meta group names this program as the writer; its length is counted once that is in.
    const E_TransferSyntax xfer = EXS_LittleEndianExplicit;
    DcmMetaInfo& meta = *file.getMetaInfo();
    file.validateMetaInfo(xfer, EWM_createNewMeta);
    put(meta, DCM_ImplementationClassUID, implementation_class_uid);
    put(meta, DCM_ImplementationVersionName, implementation_version);
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
