// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/scan_groups.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fnmatch.h>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <tuple>

#include "core/dicom_text.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "run/reduction_factor.h"

namespace snr::scan {

namespace {

// A number as a key: values that differ only in how they are written compare equal.
std::string number_key(const std::string& text)
{
    const auto value = decimal(text);
    if (!value)
        return trimmed(text);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6Lg", static_cast<long double>(*value));
    return buffer;
}

// Each value of a multi-valued number as a key.
std::string numbers_key(const std::string& text)
{
    std::string key;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\\', start);
        key += number_key(text.substr(start, end - start)) + "\\";
        if (end == std::string::npos)
            return key;
        start = end + 1;
    }
}

std::string acquisition_key(const DicomAttributes& a)
{
    const std::string parts[] = {
        trimmed(a.study_instance_uid), trimmed(a.manufacturer), trimmed(a.model),
        trimmed(a.device_serial_number).empty() ? trimmed(a.station_name) : trimmed(a.device_serial_number),
        trimmed(a.receive_coil), trimmed(a.sequence_name), number_key(a.repetition_time), number_key(a.echo_time),
        number_key(a.flip_angle), std::to_string(a.rows) + "x" + std::to_string(a.columns),
        numbers_key(a.pixel_spacing), number_key(a.slice_thickness), numbers_key(a.image_orientation),
        numbers_key(a.image_position)};
    std::string key;
    for (const std::string& part : parts)
        key += part + '\x1f';
    return key;
}

std::string parallel_key(const DicomAttributes& a)
{
    return trimmed(a.parallel_acquisition) + '\x1f' + number_key(a.parallel_factor_in_plane) + '\x1f' +
           number_key(a.parallel_factor_out_of_plane) + '\x1f' + numbers_key(a.maker_parallel_factors);
}

struct Assignment {
    Role role = Role::Unassigned;
    std::string r_text, source;
};

// The role from the headers' factor: 1 is without parallel imaging.
std::optional<Assignment> role_from_headers(const DicomAttributes& a)
{
    const auto reduction = header_reduction(a);
    if (!reduction)
        return std::nullopt;
    if (reduction->r == 1)
        return Assignment{Role::NoPi, "", reduction->source};
    return Assignment{Role::Pi, reduction_text(reduction->r), reduction->source};
}

Assignment assign(const DicomAttributes& a, const std::vector<Rule>& rules)
{
    if (auto assignment = role_from_headers(a))
        return *assignment;
    for (const Rule& rule : rules) {
        const std::string text = trimmed(rule.field == "protocol" ? a.protocol_name : a.series_description);
        if (::fnmatch(rule.pattern.c_str(), text.c_str(), FNM_CASEFOLD) == 0)
            return {rule.role, rule.r_text, "rules line " + std::to_string(rule.line)};
    }
    return {Role::Unassigned, "", "the headers say nothing of parallel imaging and no rule matches"};
}

// Instance Number, then acquisition time, then path.
auto order_of(const IndexedImage& image)
{
    const DicomAttributes& a = image.first();
    const auto number = decimal(a.instance_number);
    return std::make_tuple(!number.has_value(), number.value_or(0), trimmed(a.acquisition_date),
                           trimmed(a.acquisition_time), image.path);
}

// The words of a rules line; a word in double quotes may hold blanks.
std::vector<std::string> words_of(const std::string& line, bool& unclosed)
{
    std::vector<std::string> words;
    std::size_t k = 0;
    unclosed = false;
    while (k < line.size()) {
        if (line[k] == ' ' || line[k] == '\t' || line[k] == '\r') {
            ++k;
        } else if (line[k] == '#') {
            break;
        } else if (line[k] == '"') {
            const std::size_t end = line.find('"', k + 1);
            unclosed = end == std::string::npos;
            if (unclosed)
                return words;
            words.push_back(line.substr(k + 1, end - k - 1));
            k = end + 1;
        } else {
            const std::size_t end = line.find_first_of(" \t\r", k);
            words.push_back(line.substr(k, end - k));
            k = end == std::string::npos ? line.size() : end;
        }
    }
    return words;
}

}  // namespace

const char* role_name(Role role) { return role == Role::NoPi ? "nopi" : role == Role::Pi ? "pi" : "unassigned"; }

std::vector<Rule> read_rules(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        raise_io_error(errno, path);
    std::vector<Rule> rules;
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        const auto fail = [&](const std::string& reason) {
            Error error("line " + std::to_string(number) + ": " + reason);
            error.set_subject(path);
            throw error;
        };
        bool unclosed = false;
        const std::vector<std::string> words = words_of(text, unclosed);
        if (unclosed)
            fail("a quote is not closed");
        if (words.empty())
            continue;
        if (words.size() < 3 || words.size() > 4)
            fail("wants FIELD PATTERN ROLE [R]");
        Rule rule{number, words[0], words[1], Role::NoPi, {}};
        if (rule.field != "description" && rule.field != "protocol")
            fail("FIELD is description or protocol, not '" + rule.field + "'");
        if (words[2] == "pi") {
            const auto r = words.size() == 4 ? decimal(words[3]) : std::nullopt;
            if (!r || !(*r > 0))
                fail("pi wants R, a number above 0");
            rule.role = Role::Pi;
            rule.r_text = words[3];
        } else if (words[2] != "nopi" || words.size() != 3) {
            fail("ROLE is nopi, or pi with R");
        }
        rules.push_back(std::move(rule));
    }
    return rules;
}

std::vector<AcquisitionGroup> group_images(const ArchiveIndex& index, const std::vector<Rule>& rules)
{
    std::vector<AcquisitionGroup> groups;
    std::map<std::string, std::size_t> by_key;
    for (std::size_t k = 0; k < index.images.size(); ++k) {
        const DicomAttributes& a = index.images[k].first();
        const std::string pairing = acquisition_key(a);
        // Images a rule tells apart are apart, whatever else they share.
        const Assignment assignment = assign(a, rules);
        const std::string key = pairing + parallel_key(a) + role_name(assignment.role) + '\x1f' + assignment.r_text;
        const auto [found, added] = by_key.emplace(key, groups.size());
        if (added) {
            AcquisitionGroup group;
            group.pairing_key = pairing;
            group.role = assignment.role;
            group.r_text = assignment.r_text;
            group.role_source = assignment.source;
            groups.push_back(std::move(group));
        }
        AcquisitionGroup& group = groups[found->second];
        group.images.push_back(k);
        group.slices += static_cast<long long>(index.images[k].frames.size());
    }
    // Each image's place once, not at each comparison.
    std::vector<decltype(order_of(index.images.front()))> order;
    order.reserve(index.images.size());
    for (const IndexedImage& image : index.images)
        order.push_back(order_of(image));
    for (AcquisitionGroup& group : groups) {
        std::stable_sort(group.images.begin(), group.images.end(),
                         [&](std::size_t x, std::size_t y) { return order[x] < order[y]; });
        for (const std::size_t k : group.images) {
            const std::string series = trimmed(index.images[k].first().series_number);
            if (std::find(group.series.begin(), group.series.end(), series) == group.series.end())
                group.series.push_back(series);
        }
    }
    return groups;
}

}  // namespace snr::scan
