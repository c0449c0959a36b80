// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_facts.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcelem.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcspchrs.h>

#include "core/dicom_charset.h"
#include "core/dicom_stream.h"
#include "core/dicom_text.h"

namespace snr {

DcmElement* loaded_element(DcmItem& item, const DcmTagKey& key)
{
    DcmElement* element = nullptr;
    if (item.findAndGetElement(key, element).bad() || element->getLength() > longest_loaded_value)
        return nullptr;
    return element;
}

namespace {

std::string text_of_element(DcmElement& element)
{
    if (element.getTag().isPrivate() && !element.isaString()) {
        Uint8* bytes = nullptr;
        if (element.getUint8Array(bytes).bad() || bytes == nullptr)
            return {};
        std::string text(reinterpret_cast<const char*>(bytes), element.getLength());
        while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
            text.pop_back();
        return text;
    }
    OFString value;
    if (element.getOFStringArray(value).bad())
        return {};
    return std::string(value.c_str(), value.length());
}

using A = DicomAttributes;

// A private element: read by its place whatever its creator, its value the text it holds
// whatever VR the transfer syntax gave it (in implicit VR, without a dictionary entry of its
// creator, it arrives as bytes).
const DcmTagKey maker_parallel_factors_tag(0x0043, 0x1083);

// An attribute the reader takes as written: its element, the field it fills and, for an
// enhanced image, the functional group whose first item may hold it (the frame's own group
// before the shared one, either before the data set's own element).
struct FactElement {
    DcmTagKey tag;
    std::string A::*field;
    DcmTagKey group = DcmTagKey();  // none
    bool in_data_set = true;        // false: in its group only
};

const FactElement fact_table[] = {
    {DCM_SpecificCharacterSet, &A::specific_character_set},
    {DCM_SOPClassUID, &A::sop_class_uid},
    {DCM_SOPInstanceUID, &A::sop_instance_uid},
    {DCM_StudyDate, &A::study_date},
    {DCM_SeriesDate, &A::series_date},
    {DCM_AcquisitionDate, &A::acquisition_date},
    {DCM_StudyTime, &A::study_time},
    {DCM_SeriesTime, &A::series_time},
    {DCM_AcquisitionTime, &A::acquisition_time},
    {DCM_AccessionNumber, &A::accession_number},
    {DCM_Manufacturer, &A::manufacturer},
    {DCM_InstitutionName, &A::institution_name},
    {DCM_ReferringPhysicianName, &A::referring_physician},
    {DCM_StationName, &A::station_name},
    {DCM_SeriesDescription, &A::series_description},
    {DCM_ManufacturerModelName, &A::model},
    {DCM_PatientName, &A::patient_name},
    {DCM_PatientID, &A::patient_id},
    {DCM_PatientBirthDate, &A::patient_birth_date},
    {DCM_PatientSex, &A::patient_sex},
    {DCM_ScanningSequence, &A::scanning_sequence},
    {DCM_SequenceName, &A::sequence_name},
    {DCM_RepetitionTime, &A::repetition_time, DCM_MRTimingAndRelatedParametersSequence},
    {DCM_EchoTime, &A::echo_time},
    {DCM_NumberOfAverages, &A::number_of_averages, DCM_MRAveragesSequence},
    {DCM_MagneticFieldStrength, &A::magnetic_field_strength},
    {DCM_PixelBandwidth, &A::pixel_bandwidth, DCM_MRImagingModifierSequence},
    {DCM_EffectiveEchoTime, &A::echo_time, DCM_MREchoSequence, false},
    {DCM_DeviceSerialNumber, &A::device_serial_number},
    {DCM_SoftwareVersions, &A::software_versions},
    {DCM_ProtocolName, &A::protocol_name},
    {DCM_ReceiveCoilName, &A::receive_coil, DCM_MRReceiveCoilSequence},
    {DCM_StudyInstanceUID, &A::study_instance_uid},
    {DCM_SeriesInstanceUID, &A::series_instance_uid},
    {DCM_StudyID, &A::study_id},
    {DCM_SeriesNumber, &A::series_number},
    {DCM_InstanceNumber, &A::instance_number},
    {DCM_FlipAngle, &A::flip_angle, DCM_MRTimingAndRelatedParametersSequence},
    {DCM_SliceThickness, &A::slice_thickness, DCM_PixelMeasuresSequence},
    {DCM_ParallelAcquisition, &A::parallel_acquisition, DCM_MRModifierSequence},
    {DCM_ParallelReductionFactorInPlane, &A::parallel_factor_in_plane, DCM_MRModifierSequence},
    {DCM_ParallelReductionFactorOutOfPlane, &A::parallel_factor_out_of_plane, DCM_MRModifierSequence},
    {maker_parallel_factors_tag, &A::maker_parallel_factors},
    {DCM_ImagePositionPatient, &A::image_position, DCM_PlanePositionSequence},
    {DCM_ImageOrientationPatient, &A::image_orientation, DCM_PlaneOrientationSequence},
    {DCM_FrameOfReferenceUID, &A::frame_of_reference_uid},
    {DCM_PixelSpacing, &A::pixel_spacing, DCM_PixelMeasuresSequence},
    {DCM_RescaleIntercept, &A::rescale_intercept},
    {DCM_RescaleSlope, &A::rescale_slope},
    {DCM_LossyImageCompression, &A::lossy_compression},
    {DCM_LossyImageCompressionRatio, &A::lossy_compression_ratio},
    {DCM_LossyImageCompressionMethod, &A::lossy_compression_method},
};

// Elements FrameFacts reads itself: the functional group sequences, a date and time to split,
// a fallback for the sequence name, the frame count and the rescale pair of a frame.
const DcmTagKey other_fact_elements[] = {
    DCM_SharedFunctionalGroupsSequence, DCM_PerFrameFunctionalGroupsSequence, DCM_AcquisitionDateTime,
    DCM_PulseSequenceName, DCM_NumberOfFrames, DCM_FrameContentSequence, DCM_FrameAcquisitionDateTime,
    DCM_PixelValueTransformationSequence,
};

Uint32 key_of(const DcmTagKey& tag) { return static_cast<Uint32>(tag.getGroup()) << 16 | tag.getElement(); }

// The field a data set's element fills, if any.
std::string DicomAttributes::*field_of(const DcmTagKey& tag)
{
    using Entry = std::pair<Uint32, std::string A::*>;
    static const std::vector<Entry> sorted = [] {
        std::vector<Entry> entries;
        for (const FactElement& fact : fact_table) {
            if (fact.in_data_set)
                entries.emplace_back(key_of(fact.tag), fact.field);
        }
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
        return entries;
    }();
    const Uint32 key = key_of(tag);
    const auto found =
        std::lower_bound(sorted.begin(), sorted.end(), key, [](const Entry& entry, Uint32 k) { return entry.first < k; });
    return found != sorted.end() && found->first == key ? found->second : nullptr;
}

DcmItem* first_item(DcmItem& item, const DcmTagKey& sequence)
{
    DcmItem* found = nullptr;
    return item.findAndGetSequenceItem(sequence, found, 0).good() ? found : nullptr;
}

// A date and time (DT) as a date and a time of day; the offset from UTC is left out.
void split_datetime(const std::string& datetime, DicomAttributes& attributes)
{
    const std::string bare = datetime.substr(0, datetime.find_first_of("+-", 8));
    attributes.acquisition_date = bare.substr(0, 8);
    attributes.acquisition_time = bare.size() > 8 ? bare.substr(8) : "";
}

}  // namespace

std::string text_of(DcmItem& item, const DcmTagKey& key)
{
    DcmElement* element = loaded_element(item, key);
    return element == nullptr ? std::string() : text_of_element(*element);
}

std::optional<unsigned> unsigned_short(DcmItem& item, const DcmTagKey& key)
{
    Uint16 value = 0;
    DcmElement* element = loaded_element(item, key);
    if (element == nullptr || element->getUint16(value).bad())
        return std::nullopt;
    return value;
}

FrameFacts::FrameFacts(DcmItem& data)
{
    // One pass over the data set's elements.
    for (DcmObject* object = data.nextInContainer(nullptr); object != nullptr; object = data.nextInContainer(object)) {
        const DcmTagKey tag = object->getTag();
        if (object->ident() == EVR_SQ) {
            auto* sequence = static_cast<DcmSequenceOfItems*>(object);
            if (tag == DCM_SharedFunctionalGroupsSequence)
                shared_ = sequence->getItem(0);
            if (tag == DCM_PerFrameFunctionalGroupsSequence) {
                per_frame_ = sequence;
                per_frame_count_ = static_cast<int>(sequence->card());
            }
            continue;
        }
        // A text is taken whole however long; a value left on the stream is read now.
        std::string DicomAttributes::*field = field_of(tag);
        if (field == nullptr && object->getLength() > longest_loaded_value)
            continue;
        if (tag == DCM_SpecificCharacterSet)
            select_character_set(text_of_element(*static_cast<DcmElement*>(object)));
        if (field != nullptr)
            top_.*field = text(*static_cast<DcmElement*>(object));
        else if (tag == DCM_AcquisitionDateTime)
            acquisition_datetime_ = text_of_element(*static_cast<DcmElement*>(object));
        else if (tag == DCM_PulseSequenceName && top_.sequence_name.empty())
            top_.sequence_name = text_of_element(*static_cast<DcmElement*>(object));
        else if (tag == DCM_NumberOfFrames)
            several_frames_ = trimmed(text_of_element(*static_cast<DcmElement*>(object))) != "1";
    }
}

void FrameFacts::select_character_set(const std::string& named)
{
    const std::string sets = trimmed(named);
    // ASCII, or UTF-8 already, needs nothing.
    if (sets.empty() || sets == "ISO_IR 6" || sets == "ISO_IR 192" || sets == "ISO 2022 IR 6")
        return;
    if (names_japanese_sets(sets)) {
        japanese_ = true;
        return;
    }
    auto charset = std::make_shared<DcmSpecificCharacterSet>();
    if (charset->selectCharacterSet(OFString(sets.c_str()), "ISO_IR 192").good())
        charset_ = std::move(charset);
}

std::string FrameFacts::text(DcmElement& element) const
{
    std::string written = text_of_element(element);
    switch (element.ident()) {
    case EVR_PN: case EVR_LO: case EVR_SH: case EVR_ST: case EVR_LT: case EVR_UT: case EVR_UC: break;
    default: return written;
    }
    const bool plain = std::all_of(written.begin(), written.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\x1b'; });
    if (plain)
        return written;
    if (japanese_)
        return japanese_to_utf8(written).value_or(written);
    if (charset_ == nullptr)
        return written;
    // A text the set does not decode stays as its bytes, which every output shows as such.
    OFString converted;
    const OFString delimiters = element.ident() == EVR_PN ? "\\^=" : "\\";
    if (charset_->convertString(written.data(), written.size(), converted, delimiters).bad())
        return written;
    return std::string(converted.c_str(), converted.length());
}

bool FrameFacts::groups_fit(int frames) const { return per_frame_ == nullptr || per_frame_count_ == frames; }

FrameFacts::Groups FrameFacts::groups_of(int frame) const
{
    return {per_frame_ != nullptr ? per_frame_->getItem(static_cast<unsigned long>(frame)) : nullptr, shared_};
}

std::string FrameFacts::group_text(const Groups& groups, const DcmTagKey& group, const DcmTagKey& key) const
{
    for (DcmItem* nearest : groups) {
        DcmItem* item = nearest != nullptr ? first_item(*nearest, group) : nullptr;
        DcmElement* element = nullptr;
        if (item != nullptr && item->findAndGetElement(key, element).good())
            return text(*element);
    }
    return {};
}

void FrameFacts::fill(int frame, DicomAttributes& attributes) const
{
    std::string transfer_syntax = std::move(attributes.transfer_syntax);
    const bool detected = attributes.syntax_detected;
    attributes = top_;
    attributes.transfer_syntax = std::move(transfer_syntax);
    attributes.syntax_detected = detected;
    apply_groups(frame, attributes);
}

void FrameFacts::fill_first(DicomAttributes& attributes)
{
    if (several_frames_ || per_frame_ != nullptr) {
        fill(0, attributes);
        return;
    }
    std::string transfer_syntax = std::move(attributes.transfer_syntax);
    const bool detected = attributes.syntax_detected;
    attributes = std::move(top_);
    attributes.transfer_syntax = std::move(transfer_syntax);
    attributes.syntax_detected = detected;
    apply_groups(0, attributes);
}

void FrameFacts::take_transformation(const Groups& groups, DicomAttributes& attributes) const
{
    // The slope and intercept of a frame come together, from the nearest group that has the
    // sequence, whose one item must hold both.
    for (DcmItem* nearest : groups) {
        DcmSequenceOfItems* sequence = nullptr;
        if (nearest == nullptr || nearest->findAndGetSequence(DCM_PixelValueTransformationSequence, sequence).bad() ||
            sequence == nullptr)
            continue;
        DcmItem* transformation = sequence->card() > 0 ? sequence->getItem(0) : nullptr;
        if (transformation == nullptr) {
            attributes.rescale_missing = "項目がありません";
            return;
        }
        attributes.rescale_slope = text_of(*transformation, DCM_RescaleSlope);
        attributes.rescale_intercept = text_of(*transformation, DCM_RescaleIntercept);
        for (const auto& [name, text] : {std::pair{"Rescale Slope", &attributes.rescale_slope},
                                         {"Rescale Intercept", &attributes.rescale_intercept}}) {
            if (trimmed(*text).empty())
                attributes.rescale_missing += (attributes.rescale_missing.empty() ? "" : ", ") + std::string(name) + "がありません";
        }
        return;
    }
}

void FrameFacts::apply_groups(int frame, DicomAttributes& attributes) const
{
    attributes.frame = frame;
    if (attributes.acquisition_date.empty() && attributes.acquisition_time.empty())
        split_datetime(acquisition_datetime_, attributes);
    if (shared_ == nullptr && per_frame_ == nullptr)
        return;
    const Groups groups = groups_of(frame);
    for (const FactElement& fact : fact_table) {
        if (fact.group == DcmTagKey())
            continue;
        if (std::string text = group_text(groups, fact.group, fact.tag); !text.empty())
            attributes.*fact.field = std::move(text);
    }
    take_transformation(groups, attributes);
    const std::string acquired = group_text(groups, DCM_FrameContentSequence, DCM_FrameAcquisitionDateTime);
    if (!acquired.empty())
        split_datetime(acquired, attributes);
}

std::vector<DcmTagKey> fact_elements()
{
    std::vector<DcmTagKey> keys(std::begin(other_fact_elements), std::end(other_fact_elements));
    for (const FactElement& fact : fact_table) {
        keys.push_back(fact.tag);
        if (fact.group != DcmTagKey())
            keys.push_back(fact.group);
    }
    return keys;
}

}  // namespace snr
