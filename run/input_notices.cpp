// SPDX-License-Identifier: BSD-3-Clause
#include "run/input_notices.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

#include "core/dicom_text.h"
#include "core/path.h"
#include "core/utf8.h"
#include "run/reduction_factor.h"

namespace snr {

namespace {

struct Fact {
    const char* label;
    std::function<std::string(const DicomAttributes&)> text;
    bool numbers;  // backslash-separated decimal numbers
};

const Fact facts[] = {
    {"メーカー", [](const DicomAttributes& a) { return a.manufacturer; }, false},
    {"装置の型名", [](const DicomAttributes& a) { return a.model; }, false},
    {"装置のシリアル番号", [](const DicomAttributes& a) { return a.device_serial_number; }, false},
    {"画像の大きさ",
     [](const DicomAttributes& a) { return std::to_string(a.columns) + "×" + std::to_string(a.rows); }, false},
    {"画素の間隔", [](const DicomAttributes& a) { return a.pixel_spacing; }, true},
    {"画像の向き", [](const DicomAttributes& a) { return a.image_orientation; }, true},
    {"画像の位置", [](const DicomAttributes& a) { return a.image_position; }, true},
    {"プロトコル名", [](const DicomAttributes& a) { return a.protocol_name; }, false},
    {"シーケンス名", [](const DicomAttributes& a) { return a.sequence_name; }, false},
    {"エコー時間 (TE)", [](const DicomAttributes& a) { return a.echo_time; }, true},
    {"繰り返し時間 (TR)", [](const DicomAttributes& a) { return a.repetition_time; }, true},
    {"受信コイル", [](const DicomAttributes& a) { return a.receive_coil; }, false},
};

std::optional<std::vector<double>> numbers(const std::string& text)
{
    std::vector<double> values;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find('\\', start), text.size());
        std::string part = trimmed(text.substr(start, end - start));
        if (!part.empty() && part[0] == '+')
            part.erase(0, 1);
        double value = 0;
        const auto [stop, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || stop != part.data() + part.size() || !std::isfinite(value))
            return std::nullopt;
        values.push_back(value);
        if (end == text.size())
            return values;
        start = end + 1;
    }
}

bool same_number(double x, double y) { return std::abs(x - y) <= 1e-4 * std::max({1.0, std::abs(x), std::abs(y)}); }

bool same(const Fact& fact, const std::string& a, const std::string& b)
{
    if (trimmed(a) == trimmed(b))
        return true;
    if (!fact.numbers)
        return false;
    const auto x = numbers(a), y = numbers(b);
    if (!x || !y || x->size() != y->size())
        return false;
    for (std::size_t k = 0; k < x->size(); ++k) {
        if (!same_number((*x)[k], (*y)[k]))
            return false;
    }
    return true;
}

// A text from a file as a notice shows it, every character; "なし" when empty.
std::string shown_value(const std::string& text)
{
    const std::string out = visible_text(trimmed(text));
    return out.empty() ? "なし" : out;
}

std::string read_as(const SliceSource& source) { return source.dicom ? "DICOM画像" : "生データ"; }

std::string in_group(const NoticeGroup& group) { return group.where.empty() ? "" : group.where + "の"; }

// Notices of the inputs of one half that differ from its first.
void group_notices(const NoticeGroup& group, std::vector<std::string>& notices)
{
    if (group.inputs.size() < 2)
        return;
    const NoticeInput& first = group.inputs.front();
    // Whether inputs were read as DICOM images or by the tail rule, then each fact of the images.
    const auto report = [&](const std::string& label, auto value, auto alike) {
        const NoticeInput* other = nullptr;
        int others = 0;
        for (const NoticeInput& input : group.inputs) {
            if (!alike(first, input)) {
                other = other != nullptr ? other : &input;
                ++others;
            }
        }
        if (other == nullptr)
            return;
        notices.push_back(in_group(group) + first.name + "と" + other->name +
                          (others > 1 ? "ほか" + std::to_string(others - 1) + "枚" : "") + "で" + label +
                          "が違います (" + value(first) + " / " + value(*other) + ")");
    };
    report(
        "読み方", [](const NoticeInput& input) { return read_as(*input.source); },
        [](const NoticeInput& a, const NoticeInput& b) { return a.source->dicom == b.source->dicom; });
    if (!first.source->dicom)
        return;
    for (const Fact& fact : facts) {
        report(
            fact.label, [&](const NoticeInput& input) { return shown_value(fact.text(input.source->attributes)); },
            [&](const NoticeInput& a, const NoticeInput& b) {
                return !b.source->dicom || same(fact, fact.text(a.source->attributes), fact.text(b.source->attributes));
            });
    }
}

}  // namespace

std::string notice_name(const std::string& path, const SliceSource& source)
{
    const std::string name = file_name_part(path);
    if (!source.dicom || source.attributes.frames <= 1)
        return name;
    return name + " (フレーム" + std::to_string(source.attributes.frame + 1) + ")";
}

std::vector<std::string> input_notices(const NoticeGroup& nopi, const std::optional<NoticeGroup>& pi,
                                       std::optional<double> typed_r)
{
    std::vector<std::string> notices;
    group_notices(nopi, notices);
    if (!pi)
        return notices;
    group_notices(*pi, notices);
    // The g-factor is formed with the typed R; headers that say otherwise are worth a look.
    if (typed_r && !pi->inputs.empty() && pi->inputs.front().source->dicom) {
        const NoticeInput& first = pi->inputs.front();
        const auto header = header_reduction(first.source->attributes);
        if (header && !same_number(*typed_r, static_cast<double>(header->r)))
            notices.push_back("入力したRとparallel imaging ありの" + first.name + "のヘッダ (" + header->source +
                              ") でRが違います (" + reduction_text(*typed_r) + " / " + reduction_text(header->r) + ")");
    }
    // No-PI images whose headers say they were accelerated: the folders may be swapped.
    if (typed_r && !nopi.inputs.empty() && nopi.inputs.front().source->dicom) {
        const NoticeInput& first = nopi.inputs.front();
        const auto header = header_reduction(first.source->attributes);
        if (header && header->r > 1)
            notices.push_back("parallel imaging なしの" + first.name + "のヘッダはparallel imaging ありです (" +
                              header->source + ": R " + reduction_text(header->r) + ")");
    }
    if (nopi.inputs.empty() || pi->inputs.empty())
        return notices;
    const NoticeInput& a = nopi.inputs.front();
    const NoticeInput& b = pi->inputs.front();
    const std::string both = "parallel imaging なしの" + a.name + "とありの" + b.name + "で";
    if (a.source->dicom != b.source->dicom) {
        notices.push_back(both + "読み方が違います (" + read_as(*a.source) + " / " + read_as(*b.source) + ")");
        return notices;
    }
    if (!a.source->dicom)
        return notices;
    for (const Fact& fact : facts) {
        const std::string x = fact.text(a.source->attributes), y = fact.text(b.source->attributes);
        if (!same(fact, x, y))
            notices.push_back(both + fact.label + "が違います (" + shown_value(x) + " / " + shown_value(y) + ")");
    }
    return notices;
}

}  // namespace snr
