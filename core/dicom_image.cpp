// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_image.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmdata/dcelem.h>
#include <dcmtk/dcmdata/dcistrma.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "core/dicom_dictionary.h"
#include "core/errors.h"
#include "core/extended.h"
#include "core/file_io.h"

namespace snr {

namespace {

constexpr long long pixel_bytes = 2LL * plane_pixels;

// DCMTK parses nested sequences by recursion, one level per item at most: a file nesting
// items some thousands deep would exhaust the stack. An image has a few dozen items.
constexpr int most_items = 1000;

// The file as DCMTK's parser sees it: read in blocks through the system-call seam, never
// beyond the size it had when it was opened, and ended once it has shown too many items.
class FileProducer final : public DcmProducer {
public:
    FileProducer(int fd, long long size) : fd_(fd), size_(size) {}

    OFBool good() const override { return error_ == 0 && !cut_ && items_ <= most_items; }
    OFCondition status() const override { return good() ? EC_Normal : EC_InvalidStream; }
    OFBool eos() override { return !good() || position_ >= size_; }
    offile_off_t avail() override { return good() ? size_ - position_ : 0; }

    offile_off_t read(void* buffer, offile_off_t length) override
    {
        auto* out = static_cast<unsigned char*>(buffer);
        offile_off_t done = 0;
        while (done < length && !eos()) {
            if (position_ < block_start_ || position_ >= block_start_ + block_length_) {
                const long long wanted = std::min<long long>(block_.size(), size_ - position_);
                if (!read_at(position_, block_.data(), wanted))
                    break;
                block_start_ = position_;
                block_length_ = wanted;
            }
            const long long offset = position_ - block_start_;
            const long long count = std::min<long long>(length - done, block_length_ - offset);
            std::memcpy(out + done, block_.data() + offset, static_cast<std::size_t>(count));
            count_items(out + done, count);
            done += count;
            position_ += count;
        }
        return done;
    }

    offile_off_t skip(offile_off_t length) override
    {
        const offile_off_t count = std::min<offile_off_t>(length, avail());
        position_ += count;
        return count;
    }

    void putback(offile_off_t count) override
    {
        position_ -= count;
        recent_ = 0;
    }

    long long position() const { return position_; }
    bool too_many_items() const { return items_ > most_items; }
    int fd() const { return fd_; }
    long long size() const { return size_; }

    // Reads `length` bytes at `offset`, whole; false when the file failed or ended early.
    // Bytes the parser has just been handed come from the block it was handed them from.
    bool read_at(long long offset, void* buffer, long long length)
    {
        if (offset >= block_start_ && offset + length <= block_start_ + block_length_) {
            std::memcpy(buffer, block_.data() + (offset - block_start_), static_cast<std::size_t>(length));
            return true;
        }
        const int failure = read_all_at(fd_, buffer, length, offset);
        if (failure > 0)
            error_ = failure;
        cut_ = cut_ || failure < 0;
        return failure == 0;
    }

    // Raises the I/O error that stopped the reading, if one did.
    void raise_failure(const std::string& path) const
    {
        if (error_ != 0)
            raise_io_error(error_, path);
        if (cut_)
            throw IoError(io_code::read_past_end);  // shorter now than when it was opened
    }

private:
    // Item tags in either byte order among the bytes handed out; bytes handed out again after
    // a putback may count twice, which errs on the safe side.
    void count_items(const unsigned char* bytes, long long count)
    {
        for (long long k = 0; k < count; ++k) {
            recent_ = recent_ << 8 | bytes[k];
            if (recent_ == 0xFEFF00E0u || recent_ == 0xFFFEE000u)
                ++items_;
        }
    }

    int fd_;
    long long size_;
    long long position_ = 0;
    int error_ = 0;
    bool cut_ = false;
    std::uint32_t recent_ = 0;
    int items_ = 0;
    std::array<unsigned char, 4096> block_;
    long long block_start_ = 0;
    long long block_length_ = 0;
};

// Values longer than this are not loaded; none that the reader looks at comes near it.
constexpr Uint32 longest_loaded_value = 4096;

class FileStream final : public DcmInputStream {
public:
    FileStream(int fd, long long size, long long offset = 0) : DcmInputStream(&producer_), producer_(fd, size)
    {
        skip(offset);
    }
    DcmInputStreamFactory* newFactory() const override;
    FileProducer& producer() { return producer_; }

private:
    FileProducer producer_;
};

// Where a value that was not loaded can be read from, should anything ask for it.
class FileStreamFactory final : public DcmInputStreamFactory {
public:
    FileStreamFactory(int fd, long long size, long long offset) : fd_(fd), size_(size), offset_(offset) {}
    DcmInputStream* create() const override { return new FileStream(fd_, size_, offset_); }
    DcmInputStreamFactory* clone() const override { return new FileStreamFactory(*this); }
    DcmInputStreamFactoryType ident() const override { return DFT_DcmInputFileStreamFactory; }

private:
    int fd_;
    long long size_;
    long long offset_;
};

DcmInputStreamFactory* FileStream::newFactory() const
{
    return new FileStreamFactory(producer_.fd(), producer_.size(), tell());
}

// An element of the data set whose value was loaded: one that was not is far too long for
// any attribute the reader looks at, and asking for it would load the whole of it.
DcmElement* loaded_element(DcmItem& data, const DcmTagKey& key)
{
    DcmElement* element = nullptr;
    if (data.findAndGetElement(key, element).bad() || element->getLength() > longest_loaded_value)
        return nullptr;
    return element;
}

std::string text_of(DcmItem& data, const DcmTagKey& key)
{
    OFString value;
    DcmElement* element = loaded_element(data, key);
    if (element == nullptr || element->getOFStringArray(value).bad())
        return {};
    return std::string(value.c_str(), value.length());
}

std::string trimmed(std::string text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\0'; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    return std::string(first, text.end());
}

// A text from the file as a message shows it: printable ASCII, not too long.
std::string shown(const std::string& text)
{
    std::string out = trimmed(text).substr(0, 64);
    for (char& c : out) {
        if (c < 0x20 || c > 0x7E)
            c = '?';
    }
    return out;
}

std::optional<unsigned> unsigned_short(DcmItem& data, const DcmTagKey& key)
{
    Uint16 value = 0;
    DcmElement* element = loaded_element(data, key);
    if (element == nullptr || element->getUint16(value).bad())
        return std::nullopt;
    return value;
}

// A decimal string (DS) with one value; nothing for any other text.
std::optional<ext::real> decimal(std::string text)
{
    text = trimmed(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.erase(0, 1);
    ext::real value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int value_mask(const PixelFormat& format) { return (1 << format.bits_stored) - 1; }
int lowest_value(const PixelFormat& format) { return format.signed_values ? -(1 << (format.bits_stored - 1)) : 0; }
int highest_value(const PixelFormat& format)
{
    return format.signed_values ? (1 << (format.bits_stored - 1)) - 1 : value_mask(format);
}

bool rescale_in_range(const PixelFormat& format)
{
    for (const int stored : {lowest_value(format), std::min(highest_value(format), 32767)}) {
        if (!std::isfinite(static_cast<double>(stored * format.slope + format.intercept)))
            return false;
    }
    return true;
}

using PixelWords = std::array<std::uint16_t, plane_pixels>;

// Memory for the words read, decoded in place into the values.
std::uint16_t* value_words(SliceValues& values) { return reinterpret_cast<std::uint16_t*>(values.stored.data()); }

// The stored values of the Pixel Data's words (the stored bits of each, sign-extended where
// the values are signed) and their rescale, or why the file is refused. The words may be
// `values`' own, read there; without `values` the words are only looked at where their values
// may refuse the file.
std::string decode_pixels(std::uint16_t* words, const PixelFormat& format, SliceValues* values)
{
    if (format.big_endian) {
        for (int p = 0; p < plane_pixels; ++p)
            words[p] = __builtin_bswap16(words[p]);
    }
    const int mask = value_mask(format);
    const int sign = format.signed_values ? 1 << (format.bits_stored - 1) : 0;
    const auto stored = [&](int p) { return ((words[p] & mask) ^ sign) - sign; };
    if (!format.signed_values && format.bits_stored == 16) {
        int highest = 0;
        for (int p = 0; p < plane_pixels; ++p)
            highest = std::max(highest, stored(p));
        if (highest > 32767)
            return "には32767を超える画素値があります (" + std::to_string(highest) + ")";
    }
    if (values == nullptr)
        return {};
    // Every stored value now lies within the 16-bit signed range.
    for (int p = 0; p < plane_pixels; ++p)
        values->stored[p] = static_cast<std::int16_t>(stored(p));
    values->rescaled = format.rescaled;
    values->slope = format.slope;
    values->intercept = format.intercept;
    return {};
}

// A layout keeps the bytes before the Pixel Data; scanner headers with long private parts
// are parsed afresh instead.
constexpr long long longest_kept_head = 64 * 1024;

class ImageReader {
public:
    ImageReader(int fd, long long size, const std::string& path)
        : stream_(fd, size), producer_(stream_.producer()), size_(size), path_(path)
    {
    }

    std::optional<DicomRead> read(SliceValues* values, DicomLayout* layout)
    {
        if (!has_file_meta_group())
            return std::nullopt;
        prepare_dicom_reading();  // a raw file never needs the dictionary
        DcmMetaInfo meta;
        meta.transferInit();
        const OFCondition meta_read = meta.read(stream_, EXS_Unknown, EGL_noChange, longest_loaded_value);
        meta.transferEnd();
        producer_.raise_failure(path_);
        const std::string uid = meta_read.good() ? text_of(meta, DCM_TransferSyntaxUID) : "";
        if (uid.empty())
            return std::nullopt;

        DicomRead result;
        result.attributes.transfer_syntax = uid;
        result.refusal = read_data_set(DcmXfer(uid.c_str()).getXfer(), result.attributes, values, layout);
        if (layout != nullptr && !layout->head.empty() && result.refusal.empty()) {
            layout->size = size_;
            layout->attributes = result.attributes;
        }
        return result;
    }

private:
    bool has_file_meta_group()
    {
        std::array<unsigned char, 136> head{};
        if (size_ < static_cast<long long>(head.size()))
            return false;
        if (!producer_.read_at(0, head.data(), head.size()))
            producer_.raise_failure(path_);
        return std::memcmp(head.data() + 128, "DICM", 4) == 0 && head[132] == 0x02 && head[133] == 0x00;
    }

    std::string read_data_set(E_TransferSyntax xfer, DicomAttributes& attributes, SliceValues* values,
                              DicomLayout* layout)
    {
        if (xfer != EXS_LittleEndianImplicit && xfer != EXS_LittleEndianExplicit && xfer != EXS_BigEndianExplicit)
            return "の転送構文には対応していません (" + shown(attributes.transfer_syntax) + ")";

        DcmDataset data;
        data.transferInit();
        const OFCondition data_read =
            data.readUntilTag(stream_, xfer, EGL_noChange, longest_loaded_value, DCM_PixelData);
        data.transferEnd();
        producer_.raise_failure(path_);
        attributes.manufacturer = text_of(data, DCM_Manufacturer);
        attributes.model = text_of(data, DCM_ManufacturerModelName);
        attributes.series_number = text_of(data, DCM_SeriesNumber);
        attributes.series_description = text_of(data, DCM_SeriesDescription);
        attributes.rescale_slope = text_of(data, DCM_RescaleSlope);
        attributes.rescale_intercept = text_of(data, DCM_RescaleIntercept);
        if (producer_.too_many_items())
            return "はDICOMファイルとして読めません (項目が" + std::to_string(most_items) + "を超えます)";
        if (data_read.bad())
            return "はDICOMファイルとして読めません (壊れているか途中で切れています)";

        // Parsing stops right after the header of the top-level Pixel Data element; read it back.
        const bool implicit = xfer == EXS_LittleEndianImplicit;
        const bool big_endian = xfer == EXS_BigEndianExplicit;
        const long long value_offset = producer_.position();
        const long long header_size = implicit ? 8 : 12;
        std::array<unsigned char, 12> header{};
        const bool after_meta = value_offset >= 132 + header_size;
        if (after_meta && !producer_.read_at(value_offset - header_size, header.data(), header_size))
            producer_.raise_failure(path_);
        auto word = [&](int at) {
            return big_endian ? header[at] << 8 | header[at + 1] : header[at] | header[at + 1] << 8;
        };
        if (!after_meta || word(0) != 0x7FE0 || word(2) != 0x0010)
            return "には画素データがありません";
        const long long length = static_cast<long long>(word(header_size - 4)) << (big_endian ? 16 : 0) |
                                 static_cast<long long>(word(header_size - 2)) << (big_endian ? 0 : 16);
        attributes.pixel_offset = value_offset;

        PixelFormat format;
        format.big_endian = big_endian;
        if (std::string refusal = check_image(data, format); !refusal.empty())
            return refusal;
        if (!implicit && (header[4] != 'O' || header[5] != 'W'))  // 16-bit words are OW
            return "の画素の形式には対応していません (VR " + shown(std::string(header.begin() + 4, header.begin() + 6)) + ")";
        if (length != pixel_bytes)
            return "の画素データの長さが合いません (" + std::to_string(length) + "バイト)";
        if (value_offset + pixel_bytes > size_)
            return "は途中で切れています";
        if (std::string refusal = check_rescale(attributes, format); !refusal.empty())
            return refusal;
        if (layout != nullptr && value_offset <= longest_kept_head) {
            layout->head.resize(static_cast<std::size_t>(value_offset));
            if (!producer_.read_at(0, layout->head.data(), value_offset))
                producer_.raise_failure(path_);
            layout->format = format;
        }
        return read_pixels(value_offset, format, values);
    }

    static std::string check_image(DcmDataset& data, PixelFormat& format)
    {
        const auto samples_per_pixel = unsigned_short(data, DCM_SamplesPerPixel);
        const auto rows = unsigned_short(data, DCM_Rows);
        const auto columns = unsigned_short(data, DCM_Columns);
        const auto bits_allocated = unsigned_short(data, DCM_BitsAllocated);
        const auto bits_stored = unsigned_short(data, DCM_BitsStored);
        const auto high_bit = unsigned_short(data, DCM_HighBit);
        const auto representation = unsigned_short(data, DCM_PixelRepresentation);
        const std::pair<const char*, const std::optional<unsigned>&> required[] = {
            {"Samples per Pixel", samples_per_pixel}, {"Rows", rows}, {"Columns", columns},
            {"Bits Allocated", bits_allocated}, {"Bits Stored", bits_stored}, {"High Bit", high_bit},
            {"Pixel Representation", representation}};
        for (const auto& [name, value] : required) {
            if (!value)
                return std::string("には画像の属性がありません (") + name + ")";
        }

        const std::string photometric = trimmed(text_of(data, DCM_PhotometricInterpretation));
        if (*samples_per_pixel != 1)
            return "はモノクロ画像ではありません (" + std::to_string(*samples_per_pixel) + "サンプル/画素)";
        if (!photometric.empty() && photometric != "MONOCHROME1" && photometric != "MONOCHROME2")
            return "はモノクロ画像ではありません (" + shown(photometric) + ")";
        if (*rows != plane_side || *columns != plane_side)
            return "は256×256の16ビット画像ではありません (" + std::to_string(*columns) + "×" + std::to_string(*rows) + ")";
        if (*bits_allocated != 16)
            return "は256×256の16ビット画像ではありません (" + std::to_string(*bits_allocated) + "ビット)";
        const std::string frames = trimmed(text_of(data, DCM_NumberOfFrames));
        if (!frames.empty() && decimal(frames) != ext::real(1))
            return "は1フレームの画像ではありません (" + shown(frames) + "フレーム)";
        if (*bits_stored < 1 || *bits_stored > 16 || *high_bit + 1 != *bits_stored || *representation > 1)
            return "の画素の形式には対応していません (Bits Stored " + std::to_string(*bits_stored) + ", High Bit " +
                   std::to_string(*high_bit) + ", Pixel Representation " + std::to_string(*representation) + ")";
        format.bits_stored = *bits_stored;
        format.signed_values = *representation == 1;
        return {};
    }

    static std::string check_rescale(const DicomAttributes& attributes, PixelFormat& format)
    {
        const std::string slope = trimmed(attributes.rescale_slope);
        const std::string intercept = trimmed(attributes.rescale_intercept);
        const auto slope_value = slope.empty() ? ext::real(1) : decimal(slope);
        const auto intercept_value = intercept.empty() ? ext::real(0) : decimal(intercept);
        if (slope_value && intercept_value) {
            format.slope = *slope_value;
            format.intercept = *intercept_value;
            format.rescaled = format.slope != 1 || format.intercept != 0;
            if (rescale_in_range(format))
                return {};
        }
        std::string written;
        for (const auto& [name, text] : {std::pair{"Rescale Slope ", &slope}, {"Rescale Intercept ", &intercept}}) {
            if (!text->empty())
                written += (written.empty() ? "" : ", ") + (name + shown(*text));
        }
        return "のリスケール値が読めません (" + written + ")";
    }

    // Without `values`, pixels are read only where their values may refuse the file.
    std::string read_pixels(long long offset, const PixelFormat& format, SliceValues* values)
    {
        const bool may_refuse = !format.signed_values && format.bits_stored == 16;
        if (values == nullptr && !may_refuse)
            return {};
        static_assert(std::endian::native == std::endian::little);
        PixelWords spare;
        std::uint16_t* words = values != nullptr ? value_words(*values) : spare.data();
        if (!producer_.read_at(offset, words, pixel_bytes))
            producer_.raise_failure(path_);
        return decode_pixels(words, format, values);
    }

    FileStream stream_;
    FileProducer& producer_;
    long long size_;
    const std::string& path_;
};

}  // namespace

// The elements of a data set that the reader reads: its dictionary's entries, beside those of
// the file meta group. DCMTK reads an element missing from the dictionary as bytes, and the
// reader skips it like every other it does not read, so an image parses to the same values as
// with the whole dictionary, which takes some milliseconds of fresh memory to make.
const DcmTagKey read_elements[] = {
    DCM_Manufacturer, DCM_ManufacturerModelName, DCM_SeriesNumber, DCM_SeriesDescription, DCM_SamplesPerPixel,
    DCM_PhotometricInterpretation, DCM_NumberOfFrames, DCM_Rows, DCM_Columns, DCM_BitsAllocated, DCM_BitsStored,
    DCM_HighBit, DCM_PixelRepresentation, DCM_RescaleIntercept, DCM_RescaleSlope, DCM_PixelData,
};

void prepare_dicom_reading()
{
    // Once, on the first thread to come; the others wait here until it is done.
    static const bool prepared = [] {
        // The reader's entries of the standard's dictionary, built from the table made at build
        // time, unless the user names dictionaries. DCMTK then loads an empty file in place of
        // its default ones.
        const char* named = std::getenv(DCM_DICT_ENVIRONMENT_VARIABLE);
        const bool ours = named == nullptr || *named == '\0';
        if (ours)
            ::setenv(DCM_DICT_ENVIRONMENT_VARIABLE, "/dev/null", 1);
        // The reasons a file is refused are the message; DCMTK's own log would only repeat them.
        DCM_dcmdataLogger.setLogLevel(OFLogger::OFF_LOG_LEVEL);
        DcmDataDictionary& dictionary = dcmDataDict.wrlock();
        if (ours && dictionary.numberOfEntries() == 0)  // not made earlier by a writer, that is
            add_standard_entries(dictionary, read_elements);
        dcmDataDict.wrunlock();
        return true;
    }();
    (void)prepared;
}

void prepare_dicom_writing()
{
    DcmDataDictionary& dictionary = dcmDataDict.wrlock();
    if (!has_standard_entries(dictionary))
        add_standard_dictionary(dictionary);
    dcmDataDict.wrunlock();
}

std::optional<DicomRead> read_dicom_image(int fd, long long size, const std::string& path, SliceValues* values,
                                          DicomLayout* layout)
{
    if (layout != nullptr)
        *layout = DicomLayout{};
    return ImageReader(fd, size, path).read(values, layout);
}

std::optional<std::string> read_known_image(int fd, long long size, const DicomLayout& layout,
                                            const std::string& path, SliceValues& values)
{
    if (layout.size < 0 || size != layout.size)
        return std::nullopt;
    FileProducer file(fd, size);
    const auto head_size = static_cast<long long>(layout.head.size());
    std::vector<unsigned char> head(layout.head.size());
    std::uint16_t* words = value_words(values);
    if (!file.read_at(0, head.data(), head_size) || !file.read_at(head_size, words, pixel_bytes))
        file.raise_failure(path);
    if (head != layout.head)
        return std::nullopt;
    return decode_pixels(words, layout.format, &values);
}

}  // namespace snr
