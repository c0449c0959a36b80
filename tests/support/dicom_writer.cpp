// SPDX-License-Identifier: BSD-3-Clause
#include "tests/support/dicom_writer.h"

#include <stdexcept>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "core/dicom_image.h"

namespace snr::test {

namespace {

void check(const OFCondition& condition, const char* what)
{
    if (condition.bad())
        throw std::runtime_error(std::string("DICOM test file: ") + what + ": " + condition.text());
}

void put_text(DcmDataset& data, const DcmTagKey& key, const std::string& value)
{
    if (!value.empty())
        check(data.putAndInsertString(key, value.c_str()), "text");
}

// The stored bytes of the Pixel Data, little endian.
std::vector<Uint8> pixel_bytes(const StoredPixels& pixels, const DicomOptions& options)
{
    const std::size_t bytes_per_value = static_cast<std::size_t>(options.bits_allocated) / 8;
    const std::size_t values =
        static_cast<std::size_t>(options.rows) * options.columns * options.samples_per_pixel * options.frames;
    std::vector<Uint8> bytes;
    for (std::size_t k = 0; k < values; ++k) {
        const auto value = static_cast<std::uint16_t>(pixels[k % pixels.size()]);
        for (std::size_t b = 0; b < bytes_per_value; ++b)
            bytes.push_back(b < 2 ? static_cast<Uint8>(value >> (8 * b)) : 0);
    }
    return bytes;
}

void put_pixel_data(DcmDataset& data, const std::vector<Uint8>& bytes, const DcmXfer& xfer, int bits_allocated)
{
    if (xfer.isEncapsulated()) {
        auto* sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
        sequence->insert(new DcmPixelItem(DCM_PixelItemTag));  // empty offset table
        auto* fragment = new DcmPixelItem(DCM_PixelItemTag);
        check(fragment->putUint8Array(bytes.data(), static_cast<Uint32>(bytes.size())), "fragment");
        sequence->insert(fragment);
        auto* element = new DcmPixelData(DCM_PixelData);
        element->putOriginalRepresentation(xfer.getXfer(), nullptr, sequence);
        check(data.insert(element), "pixel sequence");
    } else if (bits_allocated <= 8) {
        check(data.putAndInsertUint8Array(DCM_PixelData, bytes.data(), static_cast<unsigned long>(bytes.size())),
              "pixel data");
    } else {
        std::vector<Uint16> words(bytes.size() / 2);
        for (std::size_t k = 0; k < words.size(); ++k)
            words[k] = static_cast<Uint16>(bytes[2 * k] | bytes[2 * k + 1] << 8);
        check(data.putAndInsertUint16Array(DCM_PixelData, words.data(), static_cast<unsigned long>(words.size())),
              "pixel data");
    }
}

}  // namespace

void write_dicom(const std::string& path, const StoredPixels& pixels, const DicomOptions& options)
{
    prepare_dicom_writing();
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    put_text(data, DCM_SOPClassUID, UID_MRImageStorage);
    put_text(data, DCM_SOPInstanceUID, "1.2.826.0.1.3680043.2.1143.1");
    put_text(data, DCM_Modality, "MR");
    put_text(data, DCM_Manufacturer, options.manufacturer);
    put_text(data, DCM_ManufacturerModelName, options.model);
    put_text(data, DCM_SeriesNumber, options.series_number);
    put_text(data, DCM_SeriesDescription, options.series_description);
    put_text(data, DCM_RescaleSlope, options.rescale_slope);
    put_text(data, DCM_RescaleIntercept, options.rescale_intercept);
    if (options.frames != 1)
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
    if (options.pixel_data)
        put_pixel_data(data, pixel_bytes(pixels, options), xfer, options.bits_allocated);
    if (options.padding > 0) {
        const std::vector<Uint8> zeros(options.padding);
        check(data.putAndInsertUint8Array(DCM_DataSetTrailingPadding, zeros.data(), zeros.size()), "padding");
    }
    check(file.saveFile(path.c_str(), xfer.getXfer(), EET_ExplicitLength), "save");
}

}  // namespace snr::test
