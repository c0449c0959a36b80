// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_facts.h"

#include <iterator>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcelem.h>
#include <dcmtk/dcmdata/dcsequen.h>

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
    OFString value;
    if (element.getOFStringArray(value).bad())
        return {};
    return std::string(value.c_str(), value.length());
}

// The attribute of the data set that an element of it gives, if any.
std::string DicomAttributes::*field_of(const DcmTagKey& tag)
{
    using A = DicomAttributes;
    switch (static_cast<Uint32>(tag.getGroup()) << 16 | tag.getElement()) {
    case 0x00080005: return &A::specific_character_set;
    case 0x00080016: return &A::sop_class_uid;
    case 0x00080018: return &A::sop_instance_uid;
    case 0x00080020: return &A::study_date;
    case 0x00080022: return &A::acquisition_date;
    case 0x00080030: return &A::study_time;
    case 0x00080032: return &A::acquisition_time;
    case 0x00080050: return &A::accession_number;
    case 0x00080070: return &A::manufacturer;
    case 0x00080090: return &A::referring_physician;
    case 0x00081010: return &A::station_name;
    case 0x0008103E: return &A::series_description;
    case 0x00081090: return &A::model;
    case 0x00100010: return &A::patient_name;
    case 0x00100020: return &A::patient_id;
    case 0x00100030: return &A::patient_birth_date;
    case 0x00100040: return &A::patient_sex;
    case 0x00180024: return &A::sequence_name;
    case 0x00180080: return &A::repetition_time;
    case 0x00180081: return &A::echo_time;
    case 0x00181000: return &A::device_serial_number;
    case 0x00181030: return &A::protocol_name;
    case 0x00181250: return &A::receive_coil;
    case 0x0020000D: return &A::study_instance_uid;
    case 0x0020000E: return &A::series_instance_uid;
    case 0x00200010: return &A::study_id;
    case 0x00200011: return &A::series_number;
    case 0x00200032: return &A::image_position;
    case 0x00200037: return &A::image_orientation;
    case 0x00200052: return &A::frame_of_reference_uid;
    case 0x00280030: return &A::pixel_spacing;
    case 0x00281052: return &A::rescale_intercept;
    case 0x00281053: return &A::rescale_slope;
    case 0x00282110: return &A::lossy_compression;
    case 0x00282112: return &A::lossy_compression_ratio;
    case 0x00282114: return &A::lossy_compression_method;
    default: return nullptr;
    }
}

// A fact kept in a functional group: the group's sequence, the element in its item, and the
// attribute it gives.
struct GroupFact {
    DcmTagKey group, key;
    std::string DicomAttributes::*field;
};

const GroupFact group_facts[] = {
    {DCM_PixelMeasuresSequence, DCM_PixelSpacing, &DicomAttributes::pixel_spacing},
    {DCM_PlaneOrientationSequence, DCM_ImageOrientationPatient, &DicomAttributes::image_orientation},
    {DCM_PlanePositionSequence, DCM_ImagePositionPatient, &DicomAttributes::image_position},
    {DCM_MRTimingAndRelatedParametersSequence, DCM_RepetitionTime, &DicomAttributes::repetition_time},
    {DCM_MREchoSequence, DCM_EffectiveEchoTime, &DicomAttributes::echo_time},
    {DCM_MRReceiveCoilSequence, DCM_ReceiveCoilName, &DicomAttributes::receive_coil},
};

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
        if (field != nullptr)
            top_.*field = text_of_element(*static_cast<DcmElement*>(object));
        else if (tag == DCM_AcquisitionDateTime)
            acquisition_datetime_ = text_of_element(*static_cast<DcmElement*>(object));
        else if (tag == DCM_PulseSequenceName && top_.sequence_name.empty())
            top_.sequence_name = text_of_element(*static_cast<DcmElement*>(object));
        else if (tag == DCM_NumberOfFrames)
            several_frames_ = trimmed(text_of_element(*static_cast<DcmElement*>(object))) != "1";
    }
}

bool FrameFacts::groups_fit(int frames) const { return per_frame_ == nullptr || per_frame_count_ == frames; }

DcmItem* FrameFacts::group_item(int frame, const DcmTagKey& group) const
{
    for (DcmItem* groups : {per_frame_ != nullptr ? per_frame_->getItem(static_cast<unsigned long>(frame)) : nullptr,
                            shared_}) {
        if (groups != nullptr) {
            if (DcmItem* item = first_item(*groups, group))
                return item;
        }
    }
    return nullptr;
}

std::string FrameFacts::group_text(int frame, const DcmTagKey& group, const DcmTagKey& key) const
{
    for (DcmItem* groups : {per_frame_ != nullptr ? per_frame_->getItem(static_cast<unsigned long>(frame)) : nullptr,
                            shared_}) {
        DcmItem* item = groups != nullptr ? first_item(*groups, group) : nullptr;
        DcmElement* element = nullptr;
        if (item != nullptr && item->findAndGetElement(key, element).good())
            return text_of_element(*element);
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

void FrameFacts::take_transformation(int frame, DicomAttributes& attributes) const
{
    // The slope and intercept of a frame come together, from the nearest group that has the
    // sequence, whose one item must hold both.
    for (DcmItem* groups : {per_frame_ != nullptr ? per_frame_->getItem(static_cast<unsigned long>(frame)) : nullptr,
                            shared_}) {
        DcmSequenceOfItems* sequence = nullptr;
        if (groups == nullptr || groups->findAndGetSequence(DCM_PixelValueTransformationSequence, sequence).bad() ||
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
    for (const GroupFact& fact : group_facts) {
        if (std::string text = group_text(frame, fact.group, fact.key); !text.empty())
            attributes.*fact.field = std::move(text);
    }
    take_transformation(frame, attributes);
    const std::string acquired = group_text(frame, DCM_FrameContentSequence, DCM_FrameAcquisitionDateTime);
    if (!acquired.empty())
        split_datetime(acquired, attributes);
}

const DcmTagKey fact_elements[] = {
    DCM_SpecificCharacterSet, DCM_SOPClassUID, DCM_SOPInstanceUID, DCM_StudyDate, DCM_AcquisitionDate,
    DCM_AcquisitionDateTime, DCM_StudyTime, DCM_AcquisitionTime, DCM_AccessionNumber, DCM_Manufacturer,
    DCM_ReferringPhysicianName, DCM_StationName, DCM_SeriesDescription, DCM_ManufacturerModelName, DCM_PatientName,
    DCM_PatientID, DCM_PatientBirthDate, DCM_PatientSex, DCM_SequenceName, DCM_RepetitionTime, DCM_EchoTime,
    DCM_DeviceSerialNumber, DCM_ProtocolName, DCM_ReceiveCoilName, DCM_PulseSequenceName, DCM_StudyInstanceUID,
    DCM_SeriesInstanceUID, DCM_StudyID, DCM_SeriesNumber, DCM_ImagePositionPatient, DCM_ImageOrientationPatient,
    DCM_FrameOfReferenceUID, DCM_PixelSpacing, DCM_RescaleIntercept, DCM_RescaleSlope,
    DCM_SharedFunctionalGroupsSequence, DCM_PerFrameFunctionalGroupsSequence, DCM_PixelMeasuresSequence,
    DCM_PlaneOrientationSequence, DCM_PlanePositionSequence, DCM_MRTimingAndRelatedParametersSequence,
    DCM_MREchoSequence, DCM_EffectiveEchoTime, DCM_MRReceiveCoilSequence, DCM_PixelValueTransformationSequence,
    DCM_FrameContentSequence, DCM_FrameAcquisitionDateTime, DCM_LossyImageCompression,
    DCM_LossyImageCompressionRatio, DCM_LossyImageCompressionMethod,
};
const std::size_t fact_element_count = std::size(fact_elements);

}  // namespace snr
