// SPDX-License-Identifier: BSD-3-Clause
#include "tests/support/dicom_writer.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcvrds.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrplol.h>
#include <dcmtk/dcmjpls/djencode.h>
#include <dcmtk/dcmjpls/djrparam.h>
#include <dcmtk/oflog/oflog.h>

#include "core/dicom_image.h"

namespace snr::test {

namespace {

void check(const OFCondition& condition, const char* what)
{
    if (condition.bad())
        throw std::runtime_error(std::string("DICOM test file: ") + what + ": " + condition.text());
}

void put_text(DcmItem& item, const DcmTagKey& key, const std::string& value)
{
    if (!value.empty())
        check(item.putAndInsertString(key, value.c_str()), "text");
}

// The stored bytes of the Pixel Data, little endian.
std::vector<Uint8> pixel_bytes(const std::vector<StoredPixels>& frames, const DicomOptions& options)
{
    const std::size_t bytes_per_value = static_cast<std::size_t>(options.bits_allocated) / 8;
    const std::size_t values_per_frame =
        static_cast<std::size_t>(options.rows) * options.columns * options.samples_per_pixel;
    std::vector<Uint8> bytes;
    for (int frame = 0; frame < options.frames; ++frame) {
        const StoredPixels& pixels = frames[static_cast<std::size_t>(frame) % frames.size()];
        for (std::size_t k = 0; k < values_per_frame; ++k) {
            const auto value = static_cast<std::uint16_t>(pixels[k % pixels.size()]);
            for (std::size_t b = 0; b < bytes_per_value; ++b)
                bytes.push_back(b < 2 ? static_cast<Uint8>(value >> (8 * b)) : 0);
        }
    }
    return bytes;
}

void put_words(DcmDataset& data, const std::vector<Uint8>& bytes, int bits_allocated)
{
    if (bits_allocated <= 8) {
        check(data.putAndInsertUint8Array(DCM_PixelData, bytes.data(), static_cast<unsigned long>(bytes.size())),
              "pixel data");
        return;
    }
    std::vector<Uint16> words(bytes.size() / 2);
    for (std::size_t k = 0; k < words.size(); ++k)
        words[k] = static_cast<Uint16>(bytes[2 * k] | bytes[2 * k + 1] << 8);
    check(data.putAndInsertUint16Array(DCM_PixelData, words.data(), static_cast<unsigned long>(words.size())),
          "pixel data");
}

void put_fragment(DcmDataset& data, const std::vector<Uint8>& bytes, const DcmXfer& xfer)
{
    auto* sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
    sequence->insert(new DcmPixelItem(DCM_PixelItemTag));  // empty offset table
    auto* fragment = new DcmPixelItem(DCM_PixelItemTag);
    check(fragment->putUint8Array(bytes.data(), static_cast<Uint32>(bytes.size())), "fragment");
    sequence->insert(fragment);
    auto* element = new DcmPixelData(DCM_PixelData);
    element->putOriginalRepresentation(xfer.getXfer(), nullptr, sequence);
    check(data.insert(element), "pixel sequence");
}

// Encodes the Pixel Data through DCMTK's encoders, where it has one for the syntax.
bool encode(DcmDataset& data, E_TransferSyntax xfer, const DicomOptions& options)
{
    static const bool registered = [] {
        OFLog::getLogger("dcmtk").setLogLevel(OFLogger::OFF_LOG_LEVEL);  // the encoders tell what they do
        DJEncoderRegistration::registerCodecs();
        DJLSEncoderRegistration::registerCodecs();
        DcmRLEEncoderRegistration::registerCodecs();
        std::atexit([] {  // before the toolkit's list goes, which would lose them
            DJEncoderRegistration::cleanup();
            DJLSEncoderRegistration::cleanup();
            DcmRLEEncoderRegistration::cleanup();
        });
        return true;
    }();
    (void)registered;
    const DJ_RPLossless jpeg(xfer == EXS_JPEGProcess14 ? 6 : 1, options.point_transform);
    const DJLSRepresentationParameter jpeg_ls(static_cast<Uint16>(options.near), xfer == EXS_JPEGLSLossless);
    const DcmRepresentationParameter* parameter = nullptr;
    if (xfer == EXS_JPEGProcess14 || xfer == EXS_JPEGProcess14SV1)
        parameter = &jpeg;
    else if (xfer == EXS_JPEGLSLossless || xfer == EXS_JPEGLSLossy)
        parameter = &jpeg_ls;
    else if (xfer != EXS_RLELossless)
        return false;
    check(data.chooseRepresentation(xfer, parameter), "encoding");
    return true;
}

// The functional group sequence that holds an attribute of an enhanced image, if any.
const DcmTagKey* group_of(const DcmTagKey& key)
{
    static const std::pair<DcmTagKey, DcmTagKey> groups[] = {
        {DCM_PixelSpacing, DCM_PixelMeasuresSequence},
        {DCM_ImageOrientationPatient, DCM_PlaneOrientationSequence},
        {DCM_ImagePositionPatient, DCM_PlanePositionSequence},
        {DCM_RepetitionTime, DCM_MRTimingAndRelatedParametersSequence},
        {DCM_FlipAngle, DCM_MRTimingAndRelatedParametersSequence},
        {DCM_SliceThickness, DCM_PixelMeasuresSequence},
        {DCM_ParallelAcquisition, DCM_MRModifierSequence},
        {DCM_ParallelReductionFactorInPlane, DCM_MRModifierSequence},
        {DCM_ParallelReductionFactorOutOfPlane, DCM_MRModifierSequence},
        {DCM_EffectiveEchoTime, DCM_MREchoSequence},
        {DCM_ReceiveCoilName, DCM_MRReceiveCoilSequence},
        {DCM_RescaleSlope, DCM_PixelValueTransformationSequence},
        {DCM_RescaleIntercept, DCM_PixelValueTransformationSequence},
        {DCM_FrameAcquisitionDateTime, DCM_FrameContentSequence},
        {DCM_NumberOfAverages, DCM_MRAveragesSequence},
        {DCM_PixelBandwidth, DCM_MRImagingModifierSequence},
    };
    for (const auto& [attribute, group] : groups) {
        if (attribute == key)
            return &group;
    }
    return nullptr;
}

// Puts an attribute into `item`, or into its functional group there when `groups` is set.
void put_element(DcmItem& item, const DcmTagKey& key, const std::string& value, bool groups)
{
    if (value.empty())
        return;
    const DcmTagKey* group = groups ? group_of(key) : nullptr;
    DcmItem* target = &item;
    if (group != nullptr)
        check(item.findOrCreateSequenceItem(*group, target, 0), "functional group");
    put_text(*target, key, value);
}

}  // namespace

void write_dicom_frames(const std::string& path, const std::vector<StoredPixels>& frames, DicomOptions options)
{
    options.frames = static_cast<int>(frames.size());
    prepare_dicom_writing();
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    put_text(data, DCM_SOPClassUID, options.enhanced ? UID_EnhancedMRImageStorage : UID_MRImageStorage);
    put_text(data, DCM_SOPInstanceUID, options.sop_instance_uid);
    if (!options.private_factors.empty()) {
        put_text(data, DcmTagKey(0x0043, 0x0010), "SNR TEST PRIVATE");
        auto* factors = new DcmDecimalString(DcmTag(0x0043, 0x1083, EVR_DS));
        check(factors->putString(options.private_factors.c_str()), "private factors");
        check(data.insert(factors), "private factors");
    }
    put_text(data, DCM_Modality, "MR");
    put_text(data, DCM_Manufacturer, options.manufacturer);
    put_text(data, DCM_ManufacturerModelName, options.model);
    put_text(data, DCM_SeriesNumber, options.series_number);
    put_text(data, DCM_SeriesDescription, options.series_description);
    DcmItem* shared = &data;
    if (options.enhanced)
        check(data.findOrCreateSequenceItem(DCM_SharedFunctionalGroupsSequence, shared, 0), "shared groups");
    put_element(*shared, DCM_RescaleSlope, options.rescale_slope, options.enhanced);
    put_element(*shared, DCM_RescaleIntercept, options.rescale_intercept, options.enhanced);
    for (const Element& element : options.elements)
        put_element(*shared, DcmTagKey(element.group, element.element), element.value, options.enhanced);
    for (std::size_t frame = 0; options.enhanced && frame < options.frame_elements.size(); ++frame) {
        DcmItem* own = nullptr;
        check(data.findOrCreateSequenceItem(DCM_PerFrameFunctionalGroupsSequence, own, static_cast<long>(frame)),
              "per-frame groups");
        for (const Element& element : options.frame_elements[frame])
            put_element(*own, DcmTagKey(element.group, element.element), element.value, true);
    }
    if (options.frames != 1 || options.enhanced)
        put_text(data, DCM_NumberOfFrames, std::to_string(options.frames));
    put_text(data, DCM_PhotometricInterpretation, options.photometric);
    for (const auto& [key, value] :
         {std::pair{DCM_SamplesPerPixel, options.samples_per_pixel}, {DCM_Rows, options.rows}, {DCM_Columns, options.columns},
          {DCM_BitsAllocated, options.bits_allocated}, {DCM_BitsStored, options.bits_stored}, {DCM_HighBit, options.high_bit},
          {DCM_PixelRepresentation, options.pixel_representation}})
        check(data.putAndInsertUint16(key, static_cast<Uint16>(value)), "image attribute");

    DcmItem* level = &data;
    for (int k = 0; k < options.nesting; ++k)
        check(level->findOrCreateSequenceItem(DCM_ReferencedImageSequence, level, 0), "nested item");

    const DcmXfer xfer(options.transfer_syntax.c_str());
    if (options.pixel_data) {
        const std::vector<Uint8> bytes = pixel_bytes(frames, options);
        if (!xfer.isEncapsulated()) {
            put_words(data, bytes, options.bits_allocated);
        } else {
            put_words(data, bytes, options.bits_allocated);
            if (!options.encoded || !encode(data, xfer.getXfer(), options)) {
                check(data.findAndDeleteElement(DCM_PixelData), "pixel data");
                put_fragment(data, bytes, xfer);
            }
        }
    }
    if (options.padding > 0) {
        const std::vector<Uint8> zeros(options.padding);
        check(data.putAndInsertUint8Array(DCM_DataSetTrailingPadding, zeros.data(), zeros.size()), "padding");
    }
    if (!options.meta_syntax && options.meta_syntax_element) {
        check(file.saveFile(path.c_str(), xfer.getXfer(), EET_ExplicitLength), "save");
        return;
    }
    // The meta group as DCMTK makes it, then its Transfer Syntax UID changed and kept so (which
    // DCMTK would warn of; errors come back as conditions).
    OFLog::getLogger("dcmtk").setLogLevel(OFLogger::OFF_LOG_LEVEL);
    check(file.validateMetaInfo(xfer.getXfer()), "file meta group");
    DcmMetaInfo& meta = *file.getMetaInfo();
    check(meta.findAndDeleteElement(DCM_TransferSyntaxUID), "transfer syntax");
    if (options.meta_syntax_element)
        check(meta.putAndInsertString(DCM_TransferSyntaxUID, options.meta_syntax->c_str()), "transfer syntax");
    check(meta.findAndDeleteElement(DCM_FileMetaInformationGroupLength), "group length");
    check(file.saveFile(path.c_str(), xfer.getXfer(), EET_ExplicitLength, EGL_recalcGL, EPD_noChange, 0, 0,
                        EWM_dontUpdateMeta),
          "save");
}

void write_dicom(const std::string& path, const StoredPixels& pixels, const DicomOptions& options)
{
    write_dicom_frames(path, std::vector<StoredPixels>(static_cast<std::size_t>(std::max(options.frames, 1)), pixels),
                       options);
}

namespace {

DcmPixelData& pixel_data(DcmFileFormat& file)
{
    DcmElement* element = nullptr;
    check(file.getDataset()->findAndGetElement(DCM_PixelData, element), "pixel data");
    return static_cast<DcmPixelData&>(*element);
}

std::vector<std::uint8_t> item_bytes(DcmPixelItem& item)
{
    Uint8* bytes = nullptr;
    if (item.getLength() == 0)
        return {};
    check(item.getUint8Array(bytes), "fragment");
    return {bytes, bytes + item.getLength()};
}

DcmPixelItem* new_item(const std::vector<std::uint8_t>& bytes)
{
    auto* item = new DcmPixelItem(DCM_PixelItemTag);
    if (!bytes.empty())
        check(item->putUint8Array(bytes.data(), static_cast<Uint32>(bytes.size())), "fragment");
    return item;
}

}  // namespace

std::string sop_instance_uid(const std::string& path)
{
    DcmFileFormat file;
    OFString uid;
    if (file.loadFile(path.c_str()).bad() || file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid).bad())
        return {};
    return uid.c_str();
}

Fragments read_fragments(const std::string& path)
{
    prepare_dicom_writing();
    DcmFileFormat file;
    check(file.loadFile(path.c_str()), "load");
    const E_TransferSyntax xfer = file.getDataset()->getOriginalXfer();
    DcmPixelSequence* sequence = nullptr;
    check(pixel_data(file).getEncapsulatedRepresentation(xfer, nullptr, sequence), "pixel sequence");
    Fragments fragments;
    for (unsigned long k = 0; k < sequence->card(); ++k) {
        DcmPixelItem* item = nullptr;
        check(sequence->getItem(item, k), "fragment");
        (k == 0 ? fragments.table : fragments.items.emplace_back()) = item_bytes(*item);
    }
    return fragments;
}

void write_fragments(const std::string& path, const Fragments& fragments)
{
    prepare_dicom_writing();
    DcmFileFormat file;
    check(file.loadFile(path.c_str()), "load");
    file.loadAllDataIntoMemory();
    const E_TransferSyntax xfer = file.getDataset()->getOriginalXfer();
    auto* sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
    sequence->insert(new_item(fragments.table));
    for (const auto& bytes : fragments.items)
        sequence->insert(new_item(bytes));
    check(file.getDataset()->findAndDeleteElement(DCM_PixelData), "pixel data");
    auto* element = new DcmPixelData(DCM_PixelData);
    element->putOriginalRepresentation(xfer, nullptr, sequence);
    check(file.getDataset()->insert(element), "pixel data");
    check(file.saveFile(path.c_str(), xfer, EET_ExplicitLength), "save");
}

std::vector<std::uint8_t> offset_table(const std::vector<std::vector<std::uint8_t>>& items,
                                       const std::vector<std::size_t>& firsts)
{
    std::vector<std::uint8_t> table;
    for (const std::size_t first : firsts) {
        std::uint32_t offset = 0;
        for (std::size_t k = 0; k < first; ++k)
            offset += static_cast<std::uint32_t>(8 + items[k].size() + items[k].size() % 2);
        for (int b = 0; b < 4; ++b)
            table.push_back(static_cast<std::uint8_t>(offset >> (8 * b)));
    }
    return table;
}

}  // namespace snr::test
