// SPDX-License-Identifier: BSD-3-Clause
// snrmap's command line on any arguments: either a usage error with a text, or a command whose
// inputs are arguments in the order given, with counts, ROIs and phantom settings in range, that
// reads back the same from its canonical spelling (options as --name=value, then "--" and
// the inputs).
//
// Input: the arguments, separated by NUL bytes (no argument can hold one).

#include <charconv>
#include <iterator>

#include "fuzz/fuzz_support.h"
#include "tools/snrmap/command_line.h"

using namespace snr;
using namespace snr::snrmap;

// The options of the history commands and of recording, where they differ from the defaults.
static void history_options(const CommandLine& line, std::vector<std::string>& args)
{
    const auto add = [&args](const char* name, const std::string& value) {
        if (!value.empty())
            args.push_back(std::string(name) + "=" + value);
    };
    if (line.record)
        args.push_back("--record");
    add("--db", line.db);
    if (line.action != Action::History && line.action != Action::Trend)
        return;
    add("--scanner", line.scanner);
    add("--coil", line.coil);
    add("--since", line.since);
    add("--format", line.format);
    if (line.action == Action::History)
        return;
    add("--item", line.item);
    add("--stat", line.figure);
    add("--report", line.report);
    if (line.trend_roi > 0)
        add("--roi", std::to_string(line.trend_roi));
    if (line.baseline > 0)
        add("--baseline", std::to_string(line.baseline));
    if (line.tolerance) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, *line.tolerance).ptr;
        add("--tolerance", std::string(text, end));
    }
}

static std::vector<std::string> canonical(const CommandLine& line)
{
    const char* commands[] = {"--help", "--version", "consecutive", "submap", "phantom", "report", "history", "trend"};
    static_assert(std::size(commands) == static_cast<std::size_t>(Action::Trend) + 1);
    std::vector<std::string> args{commands[static_cast<int>(line.action)]};
    if (line.action == Action::Help || line.action == Action::Version)
        return args;
    history_options(line, args);
    if (line.action == Action::History || line.action == Action::Trend)
        return args;
    if (line.action == Action::Report) {
        if (!line.out.empty())
            args.push_back("--out=" + line.out);
        args.push_back("--");
        args.insert(args.end(), line.inputs.begin(), line.inputs.end());
        return args;
    }
    args.push_back("--out=" + line.out);
    args.push_back("--r=" + line.r_text);
    if (line.action == Action::Phantom) {
        args.push_back("--repeats=" + std::to_string(line.repeats));
        args.push_back("--seed=" + std::to_string(line.seed));
    } else {
        args.push_back("--scale-min=" + line.legend.minimum);
        args.push_back("--scale-step=" + line.legend.step);
        for (const Roi& roi : line.rois) {
            args.push_back("--roi=" + std::to_string(roi.row) + "," + std::to_string(roi.column) + "," +
                           std::to_string(roi.height) + "," + std::to_string(roi.width));
        }
        if (line.quiet)
            args.push_back("--quiet");
        if (!line.report.empty())
            args.push_back("--report=" + line.report);
        if (line.dicom_maps)
            args.push_back("--dicom-maps");
    }
    args.push_back("--");
    args.insert(args.end(), line.inputs.begin(), line.inputs.end());
    return args;
}

static bool same(const CommandLine& a, const CommandLine& b)
{
    return a.action == b.action && a.inputs == b.inputs && a.out == b.out && a.r_text == b.r_text &&
           a.legend == b.legend && a.quiet == b.quiet && a.repeats == b.repeats && a.seed == b.seed &&
           a.phantom_r == b.phantom_r && a.rois == b.rois && a.record == b.record && a.db == b.db &&
           a.scanner == b.scanner && a.coil == b.coil && a.since == b.since && a.format == b.format &&
           a.item == b.item && a.trend_roi == b.trend_roi && a.figure == b.figure && a.baseline == b.baseline &&
           a.tolerance == b.tolerance && a.report == b.report && a.dicom_maps == b.dicom_maps;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args;
    if (size > 0) {
        args.emplace_back();
        for (std::size_t k = 0; k < size; ++k) {
            if (data[k] == 0)
                args.emplace_back();
            else
                args.back().push_back(static_cast<char>(data[k]));
        }
    }

    CommandLine line;
    try {
        line = parse_command_line(args);
    } catch (const UsageError& error) {
        fuzz::check(error.what()[0] != '\0', "usage error without a text");
        return 0;
    } catch (const std::exception& error) {
        fuzz::fail(std::string("not a usage error: ") + error.what());
    }

    if (line.action == Action::Help) {
        fuzz::check(same(line, CommandLine{}), "help with settings");
        return 0;
    }
    if (line.action == Action::Version) {
        fuzz::check(args.size() == 1 && args[0] == "--version", "version from other arguments");
        return 0;
    }
    const std::size_t inputs = line.inputs.size();
    const bool history = line.action == Action::History || line.action == Action::Trend;
    fuzz::check(history || line.action == Action::Report || !line.out.empty(), "a measurement without --out");
    fuzz::check(!line.record || line.action == Action::Consecutive || line.action == Action::Submap,
                "a record of no measurement");
    fuzz::check(line.action != Action::Trend || !line.item.empty(), "a trend of no item");
    switch (line.action) {
    case Action::Consecutive:
        fuzz::check(inputs == 1 || inputs == 2, "consecutive input count");
        break;
    case Action::Submap:
        fuzz::check(inputs == 2 || inputs == 4, "submap input count");
        break;
    case Action::History:
    case Action::Trend:
        fuzz::check(inputs == 0, "history with inputs");
        break;
    case Action::Report:
        fuzz::check(inputs == 1, "a report of other than one folder");
        break;
    default:
        fuzz::check(inputs == 0, "phantom with inputs");
        fuzz::check(line.repeats >= min_repeats && line.repeats <= max_repeats, "repeats out of range");
        fuzz::check(line.phantom_r > 0 && line.phantom_r <= max_phantom_r, "phantom R out of range");
    }
    for (const Roi& roi : line.rois) {
        fuzz::check(roi.row >= 0 && roi.column >= 0 && roi.height >= 1 && roi.width >= 1 &&
                        roi.row + roi.height <= plane_side && roi.column + roi.width <= plane_side,
                    "a ROI that is not inside the image");
    }
    // The inputs are arguments, in their order.
    std::size_t next = 1;
    for (const auto& input : line.inputs) {
        while (next < args.size() && args[next] != input)
            ++next;
        fuzz::check(next < args.size(), "an input that is no argument: " + input);
        ++next;
    }

    CommandLine again;
    try {
        again = parse_command_line(canonical(line));
    } catch (const UsageError& error) {
        fuzz::fail(std::string("the canonical spelling is refused: ") + error.what());
    }
    fuzz::check(same(line, again), "the canonical spelling reads differently");
    return 0;
}
