// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_image.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/oflog/oflog.h>

#include "core/dicom_dictionary.h"
#include "core/dicom_facts.h"
#include "core/dicom_frames.h"
#include "core/dicom_meta.h"
#include "core/dicom_pixels.h"
#include "core/dicom_stream.h"
#include "core/dicom_syntax.h"
#include "core/dicom_text.h"
#include "core/errors.h"

namespace snr {

namespace {

// A layout keeps the bytes before the Pixel Data; scanner headers with long private parts
// are parsed afresh instead. A file of several frames shares its head among them.
constexpr long long longest_kept_head_per_frame = 64 * 1024;

// Bytes of a file's start in which a damaged file meta group is looked at.
constexpr long long meta_clue_bytes = 16 * 1024;

class ImageReader {
public:
    ImageReader(int fd, long long size, const std::string& path, const DicomRequest& request)
        : fd_(fd), size_(size), path_(path), request_(request)
    {
        start_at(0);
    }

    std::optional<DicomRead> read()
    {
        if (!has_marker())
            return std::nullopt;
        prepare_dicom_reading();  // a raw file never needs the dictionary
        DcmMetaInfo meta;
        meta.transferInit();
        const OFCondition meta_read = meta.read(*stream_, EXS_Unknown, EGL_noChange, longest_loaded_value);
        meta.transferEnd();
        producer_->raise_failure(path_);
        const std::string uid = meta_read.good() ? text_of(meta, DCM_TransferSyntaxUID) : "";
        const TransferSyntax syntax = transfer_syntax(uid);

        const long long meta_end = producer_->position();
        DicomRead result;
        result.attributes.transfer_syntax = uid;
        if (syntax.use == SyntaxUse::Unknown) {
            result = read_without_meta(meta_end, uid);
        } else {
            result.refusal = read_data_set(syntax, uid, result);
            // A damaged group length or element in the meta group can hide the data set from
            // the toolkit while the syntax stays whole.
            const bool refused_unread = syntax.use == SyntaxUse::Lossy || syntax.use == SyntaxUse::Unsupported;
            if (!refused_unread && !pixel_data_found_) {
                DicomRead salvaged = read_without_meta(meta_end, uid);
                if (pixel_data_found_)
                    result = std::move(salvaged);
            }
        }
        if (result.tail_rule)
            return result;
        if (request_.layout != nullptr && !request_.layout->head.empty() && result.refusal.empty()) {
            request_.layout->size = size_;
            request_.layout->attributes = result.attributes;
        }
        return result;
    }

private:
    bool has_marker()
    {
        std::array<unsigned char, 132> head{};
        if (size_ < static_cast<long long>(head.size()))
            return false;
        if (!producer_->read_at(0, head.data(), head.size()))
            producer_->raise_failure(path_);
        return std::memcmp(head.data() + 128, "DICM", 4) == 0;
    }

    // A fresh stream from `offset` on.
    void start_at(long long offset)
    {
        stream_.emplace(fd_, size_, offset);
        producer_ = &stream_->producer();
    }

    std::string read_data_set(const TransferSyntax& syntax, const std::string& uid, DicomRead& result)
    {
        switch (syntax.use) {
        case SyntaxUse::Lossy:
        case SyntaxUse::Unsupported:
            return syntax_refusal(syntax, uid);
        case SyntaxUse::Native:
        case SyntaxUse::Unknown:
            return read_in_place(syntax.xfer, result);
        case SyntaxUse::Decoded:
        case SyntaxUse::Inflated:
            break;
        }
        return read_whole(syntax, result);
    }

    // A file meta group that names no syntax the toolkit knows, or that it cannot read: where
    // its bytes still give one, that one, else the one DCMTK detects, from where DCMTK's
    // reading of the meta group ended, else from where its bytes say the data set may begin.
    // The first start at which a data set with Pixel Data is found is taken, else the first
    // with a data set at all (a start within a damaged element can make one of the bytes up
    // to the end); without one, the tail rule.
    DicomRead read_without_meta(long long meta_end, const std::string& written)
    {
        std::vector<unsigned char> head(static_cast<std::size_t>(std::min(size_, meta_clue_bytes)));
        if (!producer_->read_at(0, head.data(), static_cast<long long>(head.size())))
            producer_->raise_failure(path_);
        const MetaClues clues = meta_clues(head.data(), head.size());
        const std::string uid = written.empty() ? clues.transfer_syntax : written;
        TransferSyntax syntax = transfer_syntax(uid);
        // A native syntax in a meta group that led nowhere may be wrong itself (writers have
        // named explicit VR for implicit data sets): the data set tells its own.
        if (syntax.xfer == EXS_LittleEndianImplicit || syntax.xfer == EXS_LittleEndianExplicit ||
            syntax.xfer == EXS_BigEndianExplicit)
            syntax = {};
        std::vector<long long> starts{meta_end};
        for (const long long start : clues.data_set_starts) {
            if (std::find(starts.begin(), starts.end(), start) == starts.end() && start < size_)
                starts.push_back(start);
        }
        salvaging_ = true;
        std::optional<DicomRead> without_pixels;
        // DCMTK's detection sees nothing in a deflated data set: where the syntax is lost,
        // inflating is tried last.
        std::vector<std::pair<TransferSyntax, std::string>> syntaxes{{syntax, uid}};
        if (syntax.use == SyntaxUse::Unknown) {
            const std::string deflated = UID_DeflatedExplicitVRLittleEndianTransferSyntax;
            syntaxes.emplace_back(transfer_syntax(deflated), deflated);
        }
        for (const auto& [tried, named] : syntaxes) {
            for (const long long start : starts) {
                start_at(start);
                pixel_data_found_ = false;
                DicomRead result;
                result.attributes.transfer_syntax = named;
                result.attributes.syntax_detected = true;
                result.refusal = read_data_set(tried, named, result);
                if (pixel_data_found_ || tried.use == SyntaxUse::Lossy || tried.use == SyntaxUse::Unsupported)
                    return result;
                if (!result.tail_rule && !without_pixels)
                    without_pixels = std::move(result);
            }
        }
        if (without_pixels)
            return *without_pixels;
        DicomRead result;
        result.tail_rule = true;
        return result;
    }

    // Why a parse that DCMTK ended early is refused, if it was the stream that ended it.
    std::string parse_stopped() const
    {
        if (stream_->too_deep())
            return "はDICOMファイルとして読めません (項目の入れ子が深すぎます)";
        if (stream_->too_many_items())
            return "はDICOMファイルとして読めません (項目が" + std::to_string(most_items) + "を超えます)";
        return {};
    }

    // A data set whose Pixel Data words lie in the file: parsed up to the header of its
    // top-level Pixel Data element, which is read back. Without a syntax, DCMTK detects it.
    std::string read_in_place(E_TransferSyntax xfer, DicomRead& result)
    {
        const bool detect = xfer == EXS_Unknown;
        const std::string written = result.attributes.transfer_syntax;
        DcmDataset data;
        data.transferInit();
        const OFCondition data_read =
            data.readUntilTag(*stream_, xfer, EGL_noChange, longest_loaded_value, DCM_PixelData);
        data.transferEnd();
        producer_->raise_failure(path_);
        if (detect) {
            xfer = data.getOriginalXfer();
            if (xfer != EXS_LittleEndianImplicit && xfer != EXS_LittleEndianExplicit && xfer != EXS_BigEndianExplicit) {
                result.tail_rule = true;
                return {};
            }
        }
        FrameFacts facts(data);
        facts.fill_first(result.attributes);
        if (detect)
            result.attributes.transfer_syntax = DcmXfer(xfer).getXferID();
        if (std::string refusal = parse_stopped(); !refusal.empty())
            return refusal;

        const bool implicit = DcmXfer(xfer).isImplicitVR();
        const bool big_endian = xfer == EXS_BigEndianExplicit;
        const long long value_offset = producer_->position();
        const long long header_size = implicit ? 8 : 12;
        std::array<unsigned char, 12> header{};
        const bool after_meta = data_read.good() && value_offset >= 132 + header_size;
        if (after_meta && !producer_->read_at(value_offset - header_size, header.data(), header_size))
            producer_->raise_failure(path_);
        auto word = [&](int at) {
            return big_endian ? header[at] << 8 | header[at + 1] : header[at] | header[at + 1] << 8;
        };
        if (!after_meta || word(0) != 0x7FE0 || word(2) != 0x0010) {
            // Without a meta group to go by, only a data set that DCMTK read to its end is one.
            if (salvaging_ && (data_read.bad() || !has_data_elements(data))) {
                result.tail_rule = true;
                return {};
            }
            if (data_read.bad())
                return "はDICOMファイルとして読めません (壊れているか途中で切れています)";
            return without_pixel_data(data, result.attributes);
        }
        pixel_data_found_ = true;
        const long long length = static_cast<long long>(word(header_size - 4)) << (big_endian ? 16 : 0) |
                                 static_cast<long long>(word(header_size - 2)) << (big_endian ? 0 : 16);
        result.attributes.pixel_offset = value_offset;
        if (detect && length == 0xFFFFFFFFLL)
            return "の画素データは圧縮されていますが、転送構文が分かりません (" +
                   (trimmed(written).empty() ? std::string("記載なし") : shown(written)) + ")";

        PixelFormat format;
        format.big_endian = big_endian || xfer == EXS_PrivateGE_LEI_WithBigEndianPixelData;
        int frames = 1;
        if (std::string refusal = check_image(data, format, frames, result.attributes); !refusal.empty())
            return refusal;
        if (!implicit && (header[4] != 'O' || header[5] != 'W'))  // 16-bit words are OW
            return "の画素の形式には対応していません (VR " + shown(std::string(header.begin() + 4, header.begin() + 6)) + ")";
        if (length != frames * slice_bytes)
            return "の画素データの長さが合いません (" + std::to_string(length) + "バイト)";
        if (value_offset + length > size_)
            return "は途中で切れています";
        if (std::string refusal = check_frames(facts, frames); !refusal.empty())
            return refusal;
        if (request_.layout != nullptr && value_offset <= longest_kept_head_per_frame * frames) {
            DicomLayout& layout = *request_.layout;
            layout.head.resize(static_cast<std::size_t>(value_offset));
            if (!producer_->read_at(0, layout.head.data(), value_offset))
                producer_->raise_failure(path_);
            layout.formats.assign(static_cast<std::size_t>(frames), format);
        }

        // Each frame as it lies; a check reads the words only where their values may refuse the file.
        static_assert(std::endian::native == std::endian::little);
        const FileFacts file = of_the_file(result.attributes);
        for (int k = first_frame(); k < first_frame() + frame_count(frames); ++k) {
            PixelFormat frame_format = format;
            if (std::string refusal = take_frame(facts, k, file, frame_format, result); !refusal.empty())
                return refusal;
            if (request_.layout != nullptr && !request_.layout->formats.empty())
                request_.layout->formats[static_cast<std::size_t>(k)] = frame_format;
            SliceValues* values = values_of(k);
            if (values != nullptr || (values_may_refuse(frame_format) && !request_.headers_only)) {
                std::uint16_t* words = values != nullptr ? value_words(*values) : spare_words();
                if (!producer_->read_at(value_offset + k * slice_bytes, words, slice_bytes))
                    producer_->raise_failure(path_);
                if (std::string refusal = decode_pixels(words, frame_format, values); !refusal.empty())
                    return refusal;
            }
            ++result.frames_read;
        }
        return {};
    }

    static bool has_data_elements(DcmDataset& data)
    {
        for (DcmObject* object = data.nextInContainer(nullptr); object != nullptr; object = data.nextInContainer(object)) {
            if (object->getGTag() >= 0x0008)
                return true;
        }
        return false;
    }

    // The frames asked for (all of them for a check), with their attributes and formats.
    int first_frame() const { return request_.values.empty() ? 0 : request_.first_frame; }
    int frame_count(int frames) const
    {
        return request_.values.empty() ? frames : static_cast<int>(request_.values.size());
    }

    // The frames asked for (all of them for a check) must be in the file, and an enhanced image
    // must have functional groups for each.
    std::string check_frames(const FrameFacts& facts, int frames) const
    {
        if (!facts.groups_fit(frames))
            return "の機能グループの数がフレーム数と合いません (" + std::to_string(facts.per_frame_items()) + "項目, " +
                   std::to_string(frames) + "フレーム)";
        const int end = first_frame() + frame_count(frames);
        if (first_frame() < 0 || end > frames)
            return missing_frame_refusal(end, frames);
        return {};
    }

    // What every frame's attributes take from the file's.
    struct FileFacts {
        std::string transfer_syntax;
        bool syntax_detected;
        unsigned rows, columns;
        int frames;
        long long pixel_offset;
    };
    static FileFacts of_the_file(const DicomAttributes& a)
    {
        return {a.transfer_syntax, a.syntax_detected, a.rows, a.columns, a.frames, a.pixel_offset};
    }

    // The attributes and the rescale of frame k, beside what the file says of them all.
    std::string take_frame(const FrameFacts& facts, int k, const FileFacts& file, PixelFormat& format,
                           DicomRead& result) const
    {
        DicomAttributes frame;
        if (k == 0 && first_frame() == 0) {
            frame = std::move(result.attributes);  // frame 0's already, taken at the parse
        } else {
            frame.transfer_syntax = file.transfer_syntax;
            frame.syntax_detected = file.syntax_detected;
            facts.fill(k, frame);
        }
        frame.rows = file.rows;
        frame.columns = file.columns;
        frame.frames = file.frames;
        frame.pixel_offset = file.pixel_offset;
        if (std::string refusal = take_rescale(frame, format); !refusal.empty())
            return frame_prefix(k, file.frames) + refusal;
        if (request_.frame_facts)
            result.frames.push_back(frame);
        if (k == first_frame())
            result.attributes = std::move(frame);
        return {};
    }

    // Names frame k in a refusal of a file of several.
    static std::string frame_prefix(int k, int frames)
    {
        return frames > 1 ? "のフレーム" + std::to_string(k + 1) : std::string();
    }

    SliceValues* values_of(int k) const
    {
        return request_.values.empty() ? nullptr : &request_.values[static_cast<std::size_t>(k - first_frame())];
    }

    std::string check_image(DcmItem& data, PixelFormat& format, int& frames, DicomAttributes& attributes) const
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
        attributes.rows = *rows;
        attributes.columns = *columns;

        const std::string photometric = trimmed(text_of(data, DCM_PhotometricInterpretation));
        if (*samples_per_pixel != 1)
            return "はモノクロ画像ではありません (" + std::to_string(*samples_per_pixel) + "サンプル/画素)";
        if (!photometric.empty() && photometric != "MONOCHROME1" && photometric != "MONOCHROME2")
            return "はモノクロ画像ではありません (" + shown(photometric) + ")";
        if (*rows != plane_side || *columns != plane_side)
            return "は256×256の16ビット画像ではありません (" + std::to_string(*columns) + "×" + std::to_string(*rows) + ")";
        if (*bits_allocated != 16)
            return "は256×256の16ビット画像ではありません (" + std::to_string(*bits_allocated) + "ビット)";
        if (std::string refusal = take_frame_count(trimmed(text_of(data, DCM_NumberOfFrames)), frames); !refusal.empty())
            return refusal;
        attributes.frames = frames;
        if (*bits_stored < 1 || *bits_stored > 16 || *high_bit + 1 != *bits_stored || *representation > 1)
            return "の画素の形式には対応していません (Bits Stored " + std::to_string(*bits_stored) + ", High Bit " +
                   std::to_string(*high_bit) + ", Pixel Representation " + std::to_string(*representation) + ")";
        format.bits_stored = *bits_stored;
        format.signed_values = *representation == 1;
        return lossy_history(attributes);
    }

    // Pixels that went through a lossy compression before they were stored as they are now
    // carry its noise beside the scanner's.
    static std::string lossy_history(const DicomAttributes& attributes)
    {
        if (trimmed(attributes.lossy_compression) != "01")
            return {};
        std::string detail = "Lossy Image Compression 01";
        for (const auto& [name, text] : {std::pair{"Method ", &attributes.lossy_compression_method},
                                         {"Ratio ", &attributes.lossy_compression_ratio}}) {
            if (!trimmed(*text).empty())
                detail += ", " + (name + shown(*text));
        }
        return "は非可逆圧縮を経た画像です。圧縮で雑音が変わるため測定できません (" + detail + ")";
    }

    // Why a data set without Pixel Data is refused. Pixels stored as floating-point numbers
    // are no scanner's image (a Parametric Map, as snrmap writes its maps): named as such.
    static std::string without_pixel_data(DcmItem& data, const DicomAttributes& attributes)
    {
        std::string detail = data.tagExists(DCM_DoubleFloatPixelData) ? "Double Float Pixel Data"
                             : data.tagExists(DCM_FloatPixelData)     ? "Float Pixel Data"
                                                                      : "";
        if (detail.empty())
            return "には画素データがありません";
        if (trimmed(attributes.sop_class_uid) == UID_ParametricMapStorage)
            detail = "パラメトリックマップ, " + detail;
        return "は浮動小数点の画素の画像です。測定できるのは16ビットの画像です (" + detail + ")";
    }

    std::string take_frame_count(const std::string& text, int& frames) const
    {
        if (text.empty())
            return {};
        const auto value = decimal(text);
        if (!value || *value < 1 || *value != static_cast<ext::real>(static_cast<long long>(*value)) || *value > 1e6)
            return "のフレーム数が読めません (" + shown(text) + ")";
        frames = static_cast<int>(*value);
        if (frames != 1 && !request_.several_frames)
            return "は1フレームの画像ではありません (" + shown(text) + "フレーム)";
        return {};
    }

    std::uint16_t* spare_words()
    {
        if (!spare_)
            spare_ = std::make_unique<std::array<std::uint16_t, plane_pixels>>();
        return spare_->data();
    }

    // A compressed or deflated data set: read whole (values over 4 KiB are read from the file
    // when asked for), its frames decoded through DCMTK's codecs.
    std::string read_whole(const TransferSyntax& syntax, DicomRead& result)
    {
        DcmDataset data;
        data.transferInit();
        const OFCondition data_read = data.read(*stream_, syntax.xfer, EGL_noChange, longest_loaded_value);
        data.transferEnd();
        producer_->raise_failure(path_);
        FrameFacts facts(data);
        facts.fill_first(result.attributes);
        if (std::string refusal = parse_stopped(); !refusal.empty())
            return refusal;
        DcmElement* element = nullptr;
        const bool has_pixels =
            data.findAndGetElement(DCM_PixelData, element).good() && element->ident() == EVR_PixelData;
        if (salvaging_ && (data_read.bad() || (!has_pixels && !has_data_elements(data)))) {
            result.tail_rule = true;
            return {};
        }
        if (data_read.bad())
            return "はDICOMファイルとして読めません (壊れているか途中で切れています)";
        if (!has_pixels)
            return without_pixel_data(data, result.attributes);
        pixel_data_found_ = true;
        auto& pixels = static_cast<DcmPixelData&>(*element);

        DcmPixelSequence* fragments = nullptr;
        if (pixels.getEncapsulatedRepresentation(syntax.xfer, nullptr, fragments).bad())
            fragments = nullptr;
        if (fragments != nullptr) {
            if (std::string detail = lossy_stream_detail(*fragments, syntax.xfer); !detail.empty())
                return syntax_refusal({syntax.xfer, SyntaxUse::Lossy, syntax.name + ", " + detail},
                                      result.attributes.transfer_syntax);
        }
        PixelFormat format;
        int frames = 1;
        if (std::string refusal = check_image(data, format, frames, result.attributes); !refusal.empty())
            return refusal;
        if (fragments != nullptr) {
            if (fragments->card() < static_cast<unsigned long>(frames) + 1)
                return "の画素データの断片がフレームより少なくなっています (" + std::to_string(fragments->card()) + "項目)";
        } else if (pixels.getLength() != frames * slice_bytes) {
            return "の画素データの長さが合いません (" + std::to_string(pixels.getLength()) + "バイト)";
        }
        if (std::string refusal = check_frames(facts, frames); !refusal.empty())
            return refusal;

        const FileFacts file = of_the_file(result.attributes);
        std::vector<unsigned long> starts;  // of each frame's fragments
        for (int k = first_frame(); k < first_frame() + frame_count(frames); ++k) {
            PixelFormat frame_format = format;
            if (std::string refusal = take_frame(facts, k, file, frame_format, result); !refusal.empty())
                return refusal;
            SliceValues* values = values_of(k);
            if (values == nullptr && request_.headers_only) {
                ++result.frames_read;
                continue;
            }
            std::uint16_t* words = values != nullptr ? value_words(*values) : spare_words();
            if (fragments != nullptr) {
                if (std::string refusal = decode_frame(pixels, *fragments, data, syntax.xfer, frames, k, starts,
                                                       frame_format, words);
                    !refusal.empty())
                    return frame_prefix(k, frames) + refusal;
            } else if (pixels.getPartialValue(words, static_cast<Uint32>(k * slice_bytes), static_cast<Uint32>(slice_bytes))
                           .bad()) {
                return "の画素データを展開できません (" + syntax.name + ")";
            }
            if (std::string refusal = decode_pixels(words, frame_format, values); !refusal.empty())
                return refusal;
            ++result.frames_read;
        }
        return {};
    }

    int fd_;
    std::optional<FileStream> stream_;
    FileProducer* producer_ = nullptr;
    bool salvaging_ = false;  // reading without a file meta group to go by
    bool pixel_data_found_ = false;
    long long size_;
    const std::string& path_;
    const DicomRequest& request_;
    std::unique_ptr<std::array<std::uint16_t, plane_pixels>> spare_;
};

}  // namespace

// The elements of a data set that the reader reads: its dictionary's entries, beside those of
// the file meta group. DCMTK reads an element missing from the dictionary as bytes, and the
// reader skips it like every other it does not read, so an image parses to the same values as
// with the whole dictionary, which takes some milliseconds of fresh memory to make.
const DcmTagKey image_elements[] = {
    DCM_SamplesPerPixel, DCM_PhotometricInterpretation, DCM_NumberOfFrames, DCM_Rows, DCM_Columns,
    DCM_BitsAllocated, DCM_BitsStored, DCM_HighBit, DCM_PixelRepresentation, DCM_PlanarConfiguration, DCM_PixelData,
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
        OFLog::getLogger("dcmtk").setLogLevel(OFLogger::OFF_LOG_LEVEL);  // the codecs' too
        DcmDataDictionary& dictionary = dcmDataDict.wrlock();
        if (ours && dictionary.numberOfEntries() == 0) {  // not made earlier by a writer, that is
            std::vector<DcmTagKey> keys(std::begin(image_elements), std::end(image_elements));
            const std::vector<DcmTagKey> facts = fact_elements();
            keys.insert(keys.end(), facts.begin(), facts.end());
            add_standard_entries(dictionary, keys);
        }
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

std::optional<DicomRead> read_dicom_image(int fd, long long size, const std::string& path,
                                          const DicomRequest& request)
{
    if (request.layout != nullptr)
        *request.layout = DicomLayout{};
    return ImageReader(fd, size, path, request).read();
}

std::optional<std::string> read_known_image(int fd, long long size, const DicomLayout& layout,
                                            const std::string& path, int first_frame,
                                            std::span<SliceValues> values, int& frames_read)
{
    frames_read = 0;
    if (layout.size < 0 || size != layout.size)
        return std::nullopt;
    const auto frames = static_cast<int>(layout.formats.size());
    if (first_frame < 0 || first_frame + static_cast<long long>(values.size()) > frames)
        return std::nullopt;
    FileProducer file(fd, size);
    const auto head_size = static_cast<long long>(layout.head.size());
    std::vector<unsigned char> head(layout.head.size());
    if (!file.read_at(0, head.data(), head_size))
        file.raise_failure(path);
    if (head != layout.head)
        return std::nullopt;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const int frame = first_frame + static_cast<int>(k);
        std::uint16_t* words = value_words(values[k]);
        if (!file.read_at(head_size + frame * slice_bytes, words, slice_bytes))
            file.raise_failure(path);
        if (std::string refusal = decode_pixels(words, layout.formats[static_cast<std::size_t>(frame)], &values[k]);
            !refusal.empty())
            return refusal;
        ++frames_read;
    }
    return std::string();
}

std::string missing_frame_refusal(long long end, int frames)
{
    return "にはフレーム" + std::to_string(end) + "がありません (" + std::to_string(frames) + "フレーム)";
}

}  // namespace snr
