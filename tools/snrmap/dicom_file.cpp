#include "tools/snrmap/dicom_file.h"

#include <cstdint>

namespace snr::snrmap {

namespace {

constexpr char implementation_class_uid[] = "2.25.164339218935392045938265372651081327406";
constexpr char implementation_version[] = "SNRMAP";

void put16(std::string& out, std::uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

// One element in explicit VR little endian. OB and OW have a 32-bit length after two reserved
// bytes; the others a 16-bit length. Values are padded to even length: UI with a zero byte,
// text with a blank.
void element(std::string& out, std::uint16_t group, std::uint16_t tag, const char (&vr)[3], std::string value)
{
    const std::string_view kind = vr;
    if (value.size() % 2 != 0)
        value += kind == "UI" || kind == "OB" ? '\0' : ' ';
    put16(out, group);
    put16(out, tag);
    out.append(kind);
    if (kind == "OB" || kind == "OW") {
        put16(out, 0);
        put32(out, static_cast<std::uint32_t>(value.size()));
    } else {
        put16(out, static_cast<std::uint16_t>(value.size()));
    }
    out += value;
}

std::string us(std::uint16_t value)
{
    std::string bytes;
    put16(bytes, value);
    return bytes;
}

std::string ul(std::uint32_t value)
{
    std::string bytes;
    put32(bytes, value);
    return bytes;
}

}  // namespace

std::string dicom_bytes(const DicomImage& image, const Samples& pixels)
{
    std::string meta;
    element(meta, 0x0002, 0x0001, "OB", std::string("\x00\x01", 2));
    element(meta, 0x0002, 0x0002, "UI", mr_image_storage);
    element(meta, 0x0002, 0x0003, "UI", image.sop_instance_uid);
    element(meta, 0x0002, 0x0010, "UI", explicit_vr_little_endian);
    element(meta, 0x0002, 0x0012, "UI", implementation_class_uid);
    element(meta, 0x0002, 0x0013, "SH", implementation_version);

    std::string file(128, '\0');
    file += "DICM";
    element(file, 0x0002, 0x0000, "UL", ul(static_cast<std::uint32_t>(meta.size())));
    file += meta;

    element(file, 0x0008, 0x0016, "UI", mr_image_storage);
    element(file, 0x0008, 0x0018, "UI", image.sop_instance_uid);
    element(file, 0x0008, 0x0060, "CS", "MR");
    element(file, 0x0010, 0x0010, "PN", image.patient_name);
    element(file, 0x0010, 0x0020, "LO", image.patient_id);
    element(file, 0x0020, 0x000D, "UI", image.study_instance_uid);
    element(file, 0x0020, 0x000E, "UI", image.series_instance_uid);
    element(file, 0x0020, 0x0013, "IS", std::to_string(image.instance_number));
    element(file, 0x0028, 0x0002, "US", us(1));
    element(file, 0x0028, 0x0004, "CS", "MONOCHROME2");
    element(file, 0x0028, 0x0010, "US", us(plane_side));
    element(file, 0x0028, 0x0011, "US", us(plane_side));
    element(file, 0x0028, 0x0100, "US", us(16));
    element(file, 0x0028, 0x0101, "US", us(16));
    element(file, 0x0028, 0x0102, "US", us(15));
    element(file, 0x0028, 0x0103, "US", us(1));

    std::string pixel_bytes;
    pixel_bytes.reserve(2 * pixels.size());
    for (std::int16_t sample : pixels)
        put16(pixel_bytes, static_cast<std::uint16_t>(sample));
    element(file, 0x7FE0, 0x0010, "OW", std::move(pixel_bytes));
    return file;
}

}  // namespace snr::snrmap
