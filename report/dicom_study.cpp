// SPDX-License-Identifier: BSD-3-Clause
#include "report/dicom_study.h"

#include <set>

#include <algorithm>
#include <random>

#include <dcmtk/dcmdata/dcdeftag.h>

#include "core/dicom_text.h"
#include "core/errors.h"
#include "core/utf8.h"

namespace snr::report {

namespace {

// The values of a multi-valued text, each trimmed.
std::vector<std::string> values_of(const std::string& text)
{
    std::vector<std::string> values;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\\', from)) != std::string::npos; from = at + 1)
        values.push_back(trimmed(text.substr(from, at - from)));
    values.push_back(trimmed(text.substr(from)));
    return values;
}

bool valid_utf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_at(text, at).length;
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

}  // namespace

std::string new_uid()
{
    std::random_device random;
    unsigned __int128 number = 0;
    for (int k = 0; k < 4; ++k)
        number = (number << 32) | random();
    number = (number & ~(static_cast<unsigned __int128>(0xF000) << 64)) |
             (static_cast<unsigned __int128>(0x4000) << 64);
    number = (number & ~(static_cast<unsigned __int128>(0xC) << 60)) | (static_cast<unsigned __int128>(0x8) << 60);
    return uid_of(number);
}

std::string copied(const std::string& text, StudyContext& context)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x80 && byte != 0x1B;
    });
    if (ascii)
        return trimmed(text);
    if (text.find('\x1B') != std::string::npos || !valid_utf8(text))
        return {};
    context.utf8 = true;
    return trimmed(text);
}

// The objects' series number: the run's month, day and time (1208134500 for 8 December,
// 13:45:00), apart from the scanner's series, which count from 1 by ones, hundreds or
// thousands, and from the maps of the study's other runs; never the number of an input's series.
long long series_number(const RunRecord& run, const std::string& run_digits)
{
    std::set<long long> taken;
    for (const InputFile& file : run.files) {
        const std::string number = trimmed(file.source.attributes.series_number);
        if (file.source.dicom && !number.empty() && number.size() < 12 &&
            std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            taken.insert(std::stoll(number));
    }
    long long number = run_digits.size() == 14 ? std::stoll(run_digits.substr(4)) : 1000;
    while (taken.contains(number))
        ++number;
    return number;
}

StudyContext study_context(const RunRecord& run)
{
    StudyContext context;
    for (const InputFile& file : run.files) {
        if (file.source.dicom && !file.source.attributes.study_instance_uid.empty()) {
            context.study = &file.source.attributes;
            break;
        }
    }
    context.study_uid = context.study ? context.study->study_instance_uid : new_uid();
    context.frame_of_reference_uid = context.study && !context.study->frame_of_reference_uid.empty()
                                         ? context.study->frame_of_reference_uid
                                         : new_uid();
    context.series_uid = new_uid();
    if (context.study) {
        const DicomAttributes& a = *context.study;
        // The input's plane, where it gives all of it.
        const auto orientation = values_of(a.image_orientation), position = values_of(a.image_position);
        if (values_of(a.pixel_spacing).size() == 2 && orientation.size() == 6 && position.size() == 3) {
            context.pixel_spacing = trimmed(a.pixel_spacing);
            context.orientation = orientation;
            context.position = position;
        }
        context.slice_thickness = trimmed(a.slice_thickness);
    }
    // "2026-12-08T13:45:00+09:00": the run's local date and time.
    std::string digits;
    for (char c : run.time.substr(0, 19))
        if (c >= '0' && c <= '9')
            digits += c;
    if (digits.size() == 14) {
        context.date = digits.substr(0, 8);
        context.time = digits.substr(8);
    }
    context.series_number = std::to_string(series_number(run, digits));
    return context;
}

MapKind map_kind(const ResultPlane& plane)
{
    if (plane.kind == ItemKind::GFactor)
        return {"GFACTOR", "g-factor (SNR no PI / (sqrt(R) x SNR PI))", "G-FACTOR", "99SNRMAP", "g-factor", ""};
    const bool with_pi = plane.name.size() >= 3 && plane.name.compare(plane.name.size() - 3, 3, "_pi") == 0;
    if (with_pi)
        return {"SNR_PI", "SNR with parallel imaging", "111787", "DCM", "Signal to Noise Ratio", "pi"};
    return {"SNR_NOPI", "SNR without parallel imaging", "111787", "DCM", "Signal to Noise Ratio", "nopi"};
}

bool derives_from(const MapKind& kind, const InputFile& file)
{
    const DicomAttributes& a = file.source.attributes;
    return file.source.dicom && !a.sop_instance_uid.empty() && !a.sop_class_uid.empty() &&
           file.role.rfind(kind.role_prefix, 0) == 0;
}

void put_patient_and_study(DcmItem& data, StudyContext& context)
{
    const auto put = [&](const DcmTagKey& key, const std::string& value) {
        if (data.putAndInsertString(key, value.c_str()).bad())
            throw Error("DICOM attribute not written");
    };
    put(DCM_StudyInstanceUID, context.study_uid);
    const DicomAttributes* a = context.study;
    put(DCM_PatientName, a ? copied(a->patient_name, context) : "");
    put(DCM_PatientID, a ? copied(a->patient_id, context) : "");
    put(DCM_PatientBirthDate, a ? copied(a->patient_birth_date, context) : "");
    put(DCM_PatientSex, a ? copied(a->patient_sex, context) : "");
    put(DCM_StudyDate, a ? copied(a->study_date, context) : context.date);
    put(DCM_StudyTime, a ? copied(a->study_time, context) : context.time);
    put(DCM_StudyID, a ? copied(a->study_id, context) : "");
    put(DCM_AccessionNumber, a ? copied(a->accession_number, context) : "");
    put(DCM_ReferringPhysicianName, a ? copied(a->referring_physician, context) : "");
    if (context.utf8)
        put(DCM_SpecificCharacterSet, "ISO_IR 192");
}

}  // namespace snr::report
