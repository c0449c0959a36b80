// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/command_line.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include <cmath>

#include "core/errors.h"
#include "core/plane.h"
#include "core/text_number.h"
#include "history/database_location.h"
#include "history/history_rows.h"
#include "history/iso_time.h"

namespace snr::snrmap {

namespace {

struct Grammar {
    std::size_t min_inputs, max_inputs;
    bool odd_input_count_allowed;
    std::vector<std::string> options;  // each takes a value, except the flags
};


// Options that may be given more than once.
bool repeatable(Action action, const std::string& name)
{
    return (name == "--roi" && action != Action::Trend) || (name == "--allow" && action == Action::Listen);
}

// Options that take no value.
bool flag(Action action, const std::string& name)
{
    return name == "--quiet" || name == "--record" || name == "--dicom-maps" || name == "--dicom-results" ||
           name == "--dry-run" || name == "--again" ||
           (name == "--report" && (action == Action::Scan || action == Action::Listen));
}

Grammar grammar_of(Action action)
{
    switch (action) {
    case Action::Consecutive:
        return {1,
                2,
                true,
                {"--out", "--r", "--scale-min", "--scale-step", "--region", "--roi", "--report", "--dicom-maps",
                 "--dicom-results", "--quiet", "--record", "--db"}};
    case Action::Submap:
        return {2,
                4,
                false,
                {"--out", "--r", "--scale-min", "--scale-step", "--region", "--roi", "--report", "--dicom-maps",
                 "--dicom-results", "--record", "--db"}};
    case Action::Scan:
        return {1,
                SIZE_MAX,
                true,
                {"--out", "--rules", "--dry-run", "--format", "--again", "--consecutive-from", "--scale-min",
                 "--scale-step", "--region", "--roi", "--report", "--dicom-maps", "--dicom-results", "--quiet", "--record", "--db"}};
    case Action::Report: return {1, 1, true, {"--out"}};
    case Action::History: return {0, 0, true, {"--scanner", "--coil", "--since", "--format", "--db"}};
    case Action::Trend:
        return {0,
                0,
                true,
                {"--item", "--roi", "--stat", "--baseline", "--tolerance", "--scanner", "--coil", "--format", "--db",
                 "--report"}};
    case Action::Listen:
        return {0,
                0,
                true,
                {"--config", "--port", "--aet", "--allow", "--spool", "--out", "--study-timeout", "--send-to", "--record",
                 "--db", "--report", "--rules", "--region"}};
    default: return {0, 0, true, {"--out", "--repeats", "--seed", "--r"}};
    }
}

template <class Integer>
Integer whole_number(const std::string& option, const std::string& text, Integer low, Integer high)
{
    Integer value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError(option + " wants a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    }
    return value;
}

double phantom_reduction(const std::string& text)
{
    long double r = 0;
    try {
        r = text_to_float(text);
    } catch (const Error& error) {
        throw UsageError(error.what());
    }
    // Judged as stored: a rate too small for a double would become 0.
    const auto stored = static_cast<double>(r);
    if (!(stored > 0 && stored <= max_phantom_r))
        throw UsageError("--r of the phantom must lie above 0 and at most 16, not '" + text + "'");
    return stored;
}

// ROW,COLUMN,HEIGHT,WIDTH: four whole numbers in decimal digits, a rectangle of at least one
// pixel inside the image.
Roi region_of_interest(const std::string& text)
{
    int numbers[4] = {};
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    bool valid = true;
    for (int k = 0; k < 4 && valid; ++k) {
        const bool digit = at != end && *at >= '0' && *at <= '9';
        const auto [next, error] = std::from_chars(at, end, numbers[k]);
        valid = digit && error == std::errc() && (k == 3 ? next == end : next != end && *next == ',');
        if (valid && k < 3)
            at = next + 1;
    }
    const Roi roi{numbers[0], numbers[1], numbers[2], numbers[3]};
    if (!valid || roi.height < 1 || roi.width < 1 || roi.row > plane_side - roi.height ||
        roi.column > plane_side - roi.width) {
        throw UsageError("--roi wants ROW,COLUMN,HEIGHT,WIDTH: zero-based, at least one pixel, inside the " +
                         std::to_string(plane_side) + " x " + std::to_string(plane_side) + " image; not '" + text +
                         "'");
    }
    return roi;
}

// A share in per cent: a decimal number of at least 0.
double tolerance(const std::string& text)
{
    double value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        !(value >= 0))
        throw UsageError("--tolerance wants a number of per cent, at least 0, not '" + text + "'");
    return value;
}

void set_history_option(CommandLine& line, const std::string& name, const std::string& value)
{
    if (name == "--db") {
        try {
            history::parse_database_url(value);
        } catch (const history::LocationError& error) {
            throw UsageError(std::string("--db: ") + error.what());
        }
        line.db = value;
    } else if (name == "--scanner") {
        line.scanner = value;
    } else if (name == "--coil") {
        line.coil = value;
    } else if (name == "--since") {
        if (!history::utc_time(value))
            throw UsageError("--since wants a date YYYY-MM-DD or an ISO 8601 time, not '" + value + "'");
        line.since = value;
    } else if (name == "--format") {
        if (value != "table" && value != "csv" && value != "json")
            throw UsageError("--format wants table, csv or json, not '" + value + "'");
        line.format = value;
    } else if (name == "--item") {
        if (value.empty())
            throw UsageError("--item wants the name of a plane");
        line.item = value;
    } else if (name == "--stat") {
        line.figure = value;
    } else if (name == "--baseline") {
        line.baseline = whole_number<long long>(name, value, 1, INT64_MAX);
    } else if (name == "--tolerance") {
        line.tolerance = tolerance(value);
    }
}

// An AE title: 1 to 16 characters, no backslash or control character, not all spaces.
std::string ae_title(const std::string& option, const std::string& value)
{
    const bool valid = !value.empty() && value.size() <= 16 && value.find_first_not_of(' ') != std::string::npos &&
                       std::none_of(value.begin(), value.end(), [](char c) { return c == '\\' || (c >= 0 && c < 32); });
    if (!valid)
        throw UsageError(option + " wants an AE title of 1 to 16 characters, not '" + value + "'");
    return value;
}

void set_listen_option(CommandLine& line, const std::string& name, const std::string& value)
{
    if (name == "--port") {
        line.port = whole_number<int>(name, value, 1, 65535);
    } else if (name == "--aet") {
        line.aet = ae_title(name, value);
    } else if (name == "--allow") {
        line.allow.push_back(ae_title(name, value));
    } else if (name == "--spool") {
        if (value.empty())
            throw UsageError("--spool wants a folder");
        line.spool = value;
    } else if (name == "--study-timeout") {
        line.study_timeout = whole_number<int>(name, value, 1, 86400);
    } else if (name == "--send-to") {
        const auto at = value.find('@');
        const auto colon = value.rfind(':');
        if (at == std::string::npos || at == 0 || colon == std::string::npos || colon < at + 2)
            throw UsageError("--send-to wants AET@HOST:PORT, not '" + value + "'");
        ae_title(name, value.substr(0, at));
        whole_number<int>(name, value.substr(colon + 1), 1, 65535);
        line.send_to = value;
    } else {
        set_history_option(line, name, value);
    }
}

void set_option(CommandLine& line, const std::string& name, const std::string& value)
{
    if (line.action == Action::Trend && name == "--roi") {
        line.trend_roi = whole_number<int>(name, value, 1, max_trend_roi);
    } else if (name == "--out") {
        if (value.empty())
            throw UsageError(line.action == Action::Report ? "--out wants a file" : "--out wants a folder");
        line.out = value;
    } else if (name == "--report") {
        if (value.empty())
            throw UsageError("--report wants a file");
        line.report = value;
    } else if (name == "--r") {
        line.r_text = value;
    } else if (name == "--scale-min") {
        line.legend.minimum = value;
    } else if (name == "--scale-step") {
        line.legend.step = value;
    } else if (name == "--region") {
        if (value != "phantom" && value != "all")
            throw UsageError("--region wants phantom or all, not '" + value + "'");
        line.region = value == "phantom" ? RegionKind::Phantom : RegionKind::All;
    } else if (name == "--roi") {
        line.rois.push_back(region_of_interest(value));
    } else if (name == "--rules") {
        if (value.empty())
            throw UsageError("--rules wants a file");
        line.rules = value;
    } else if (name == "--consecutive-from") {
        line.consecutive_from = whole_number<int>(name, value, 3, max_repeats);
    } else if (name == "--repeats") {
        line.repeats = whole_number<int>(name, value, min_repeats, max_repeats);
    } else if (name == "--seed") {
        line.seed = whole_number<std::uint64_t>(name, value, 0, UINT64_MAX);
    } else {
        set_listen_option(line, name, value);
    }
}

void set_flag(CommandLine& line, const std::string& name, bool value)
{
    if (name == "--quiet")
        line.quiet = value;
    else if (name == "--record")
        line.record = value;
    else if (name == "--dry-run")
        line.dry_run = value;
    else if (name == "--again")
        line.again = value;
    else if (name == "--report" && line.action == Action::Scan)
        line.report = value ? "report.pdf" : "";
    else if (name == "--report")
        line.run_reports = value;
    else if (name == "--dicom-results")
        line.dicom_results = line.dicom_maps = value;
    else
        line.dicom_maps = line.dicom_maps || value;
}

// KEY = VALUE lines with the options' names without "--" (a flag's value yes or no); blank
// lines and # comments. An option given on the command line keeps its value there.
void read_config(CommandLine& line, const std::string& path, const std::vector<std::string>& given)
{
    std::ifstream file(path);
    if (!file)
        throw UsageError("--config: cannot read " + path);
    const Grammar grammar = grammar_of(line.action);
    std::vector<std::string> seen;
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        const auto trim = [](std::string value) {
            const auto first = value.find_first_not_of(" \t\r");
            const auto last = value.find_last_not_of(" \t\r");
            return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
        };
        text = trim(text);
        if (text.empty() || text[0] == '#')
            continue;
        const auto equals = text.find('=');
        const std::string key = trim(text.substr(0, equals));
        const std::string value = equals == std::string::npos ? std::string() : trim(text.substr(equals + 1));
        const std::string name = "--" + key;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (name == "--config" ||
            std::find(grammar.options.begin(), grammar.options.end(), name) == grammar.options.end())
            throw UsageError(where + "unknown key '" + key + "'");
        if (std::find(given.begin(), given.end(), name) != given.end())
            continue;
        if (std::find(seen.begin(), seen.end(), name) != seen.end() && !repeatable(line.action, name))
            throw UsageError(where + key + " given twice");
        seen.push_back(name);
        try {
            if (flag(line.action, name)) {
                if (value != "yes" && value != "no")
                    throw UsageError(key + " wants yes or no, not '" + value + "'");
                set_flag(line, name, value == "yes");
            } else {
                set_option(line, name, value);
            }
        } catch (const UsageError& error) {
            throw UsageError(where + error.what());
        }
    }
}

std::string names(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

// What no single option can tell.
void check_history_options(const CommandLine& line)
{
    if (line.action == Action::Scan && line.format == "csv")
        throw UsageError("--format of scan wants table or json");
    if (line.action == Action::Consecutive || line.action == Action::Submap || line.action == Action::Scan) {
        if (!line.db.empty() && !line.record)
            throw UsageError("--db names the history --record records into");
        return;
    }
    if (line.action == Action::Listen) {
        if (!line.db.empty() && !line.record)
            throw UsageError("--db names the history --record records into");
        if (line.spool.empty())
            throw UsageError("listen wants --spool DIR, where received instances wait");
        return;
    }
    if (line.action != Action::Trend)
        return;
    if (line.item.empty())
        throw UsageError("trend wants --item ITEM, the name of a plane (snr_nopi, gfactor_map, ...)");
    const auto& figures = line.trend_roi > 0 ? history::roi_figure_names() : history::plane_figure_names();
    if (std::find(figures.begin(), figures.end(), line.figure) == figures.end()) {
        throw UsageError("--stat wants one of " + names(figures) + (line.trend_roi > 0 ? " with --roi" : "") +
                         ", not '" + line.figure + "'");
    }
    if (line.baseline > 0 && (!line.scanner.empty() || !line.coil.empty()))
        throw UsageError("--baseline names the series; --scanner and --coil choose one without it");
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args)
{
    CommandLine line;
    if (args.empty())
        throw UsageError("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        if (args.size() > 1)
            throw UsageError("--help takes no arguments");
        return line;
    }
    if (command == "--version") {
        if (args.size() > 1)
            throw UsageError("--version takes no arguments");
        line.action = Action::Version;
        return line;
    }
    if (command == "consecutive")
        line.action = Action::Consecutive;
    else if (command == "submap")
        line.action = Action::Submap;
    else if (command == "phantom")
        line.action = Action::Phantom;
    else if (command == "report")
        line.action = Action::Report;
    else if (command == "history")
        line.action = Action::History;
    else if (command == "trend")
        line.action = Action::Trend;
    else if (command == "scan")
        line.action = Action::Scan;
    else if (command == "listen")
        line.action = Action::Listen;
    else
        throw UsageError("unknown command '" + command + "'");

    const Grammar grammar = grammar_of(line.action);
    std::vector<std::string> seen;
    std::string config;
    bool options_ended = false;
    for (std::size_t k = 1; k < args.size(); ++k) {
        const std::string& arg = args[k];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            line.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            line = CommandLine{};
            return line;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        bool known = false;
        for (const auto& option : grammar.options)
            known = known || option == name;
        if (!known)
            throw UsageError("unknown option '" + name + "' for " + command);
        for (const auto& earlier : seen) {
            if (earlier == name && !repeatable(line.action, name))
                throw UsageError(name + " given twice");
        }
        seen.push_back(name);
        if (flag(line.action, name)) {
            if (equals != std::string::npos)
                throw UsageError(name + " takes no value");
            set_flag(line, name, true);
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else {
            // The next argument is the value whatever it looks like: "--scale-step -20" is a step.
            if (k + 1 == args.size())
                throw UsageError(name + " wants a value");
            value = args[++k];
        }
        if (name == "--config")
            config = value;
        else
            set_option(line, name, value);
    }
    if (!config.empty())
        read_config(line, config, seen);

    const bool history = line.action == Action::History || line.action == Action::Trend;
    const bool dry_scan = line.action == Action::Scan && line.dry_run;
    if (line.out.empty() && line.action != Action::Report && !history && !dry_scan)
        throw UsageError("--out DIR is required");
    const std::size_t count = line.inputs.size();
    if (count < grammar.min_inputs || count > grammar.max_inputs ||
        (!grammar.odd_input_count_allowed && count % 2 != 0)) {
        switch (line.action) {
        case Action::Consecutive: throw UsageError("consecutive wants NOPI_DIR and, for the g-factor, PI_DIR");
        case Action::Submap: throw UsageError("submap wants NOPI_1 NOPI_2 and, for the g-factor, PI_1 PI_2");
        case Action::Report: throw UsageError("report wants OUTDIR, the output folder of a run");
        case Action::Scan: throw UsageError("scan wants ROOT, the folders or files to scan");
        default: throw UsageError(command + " takes no input files");
        }
    }
    check_history_options(line);
    // Two folders or four images: both acquisitions, and so the g-factor.
    line.gfactor = (line.action == Action::Consecutive && count == 2) || (line.action == Action::Submap && count == 4);
    if (line.action == Action::Phantom)
        line.phantom_r = phantom_reduction(line.r_text);
    return line;
}

std::string usage_text()
{
    return "usage: snrmap consecutive NOPI_DIR [PI_DIR] --out DIR [--r TEXT] [--scale-min TEXT] [--scale-step TEXT] "
           "[--region phantom|all] [--roi R,C,H,W]... [--report FILE.pdf] [--dicom-maps | --dicom-results] [--quiet] [--record [--db URL]]\n"
           "       snrmap submap NOPI_1 NOPI_2 [PI_1 PI_2] --out DIR [--r TEXT] [--scale-min TEXT] [--scale-step TEXT] "
           "[--region phantom|all] [--roi R,C,H,W]... [--report FILE.pdf] [--dicom-maps | --dicom-results] [--record [--db URL]]\n"
           "       snrmap scan ROOT... --out DIR [--rules FILE] [--dry-run] [--format table|json] [--again] "
           "[--consecutive-from N] [--scale-min TEXT] [--scale-step TEXT] [--region phantom|all] [--roi R,C,H,W]... "
           "[--report] "
           "[--dicom-maps | --dicom-results] "
           "[--quiet] [--record [--db URL]]\n"
           "       snrmap report OUTDIR [--out FILE.pdf]\n"
           "       snrmap phantom --out DIR [--repeats N] [--seed S] [--r TEXT]\n"
           "       snrmap history [--scanner TEXT] [--coil TEXT] [--since DATE] [--format table|csv|json] [--db URL]\n"
           "       snrmap trend --item ITEM [--roi N] [--stat FIGURE] [--baseline RUN | --scanner TEXT --coil TEXT] "
           "[--tolerance PCT] [--format table|csv|json] [--report FILE.pdf] [--db URL]\n"
           "       snrmap listen --spool DIR --out DIR [--config FILE] [--port N] [--aet AET] [--allow AET]... "
           "[--study-timeout S] [--send-to AET@HOST:PORT] [--record [--db URL]] [--report] [--rules FILE] "
           "[--region phantom|all]\n"
           "       snrmap --help | --version\n";
}

std::string help_text()
{
    return usage_text() +
           "\n"
           "Measures SNR and g-factor maps without the windows, with the same computation.\n"
           "\n"
           "  consecutive   repeated slices: NOPI_DIR (and PI_DIR) each hold N slices of one acquisition\n"
           "  submap        difference maps: two images without PI (and two with PI)\n"
           "  scan          finds, groups and pairs the series under ROOTs by their headers and measures\n"
           "                each pair or series as a run of its own in DIR/NAME, with DIR/scan.json\n"
           "  report        the PDF report of a run from its output folder (summary.json and planes)\n"
           "  phantom       writes a synthetic phantom: DIR/nopi, DIR/pi (N repeats each), DIR/pairs,\n"
           "                DIR/truth_gfactor.npy and DIR/phantom.json\n"
           "\n"
           "Giving the PI inputs computes the g-factor map. For every result plane DIR receives\n"
           "NAME.npy (float64, 256 x 256) and NAME.png (as the window shows it); then summary.json\n"
           "and roi.csv (its header alone without --roi).\n"
           "Nothing is written unless the whole run succeeds.\n"
           "\n"
           "  --out DIR          output folder (created when missing; files of the same names are replaced,\n"
           "                     and an earlier measurement's plane files that this one does not make go)\n"
           "  --r TEXT           reduction rate R (default 2; the text \"0\" is refused)\n"
           "  --scale-min TEXT   legend minimum (default " +
           LegendTexts{}.minimum +
           ")\n"
           "  --scale-step TEXT  legend interval (default " +
           LegendTexts{}.step +
           ")\n"
           "  --region phantom|all  the pixels each plane's figures (summary.json \"planes\", report, history)\n"
           "                     are over: phantom (default) the middle three quarters of the phantom found\n"
           "                     in the no-PI signal image, all every pixel outside the legend box; pixels\n"
           "                     of value 0 (undefined) are left out either way\n"
           "  --roi ROW,COLUMN,HEIGHT,WIDTH\n"
           "                     a region of interest, zero-based, top-left inclusive, in image rows and\n"
           "                     columns; may be given several times. For each ROI and plane summary.json\n"
           "                     (\"rois\") and roi.csv (roi,plane,n,mean,sd,min,max; ROIs numbered from 1 in\n"
           "                     the order given) get the pixel count, mean, SD (divisor n - 1), minimum\n"
           "                     and maximum, the legend box left out and the g-factor map in g; an empty\n"
           "                     figure is null in the JSON and an empty field in the CSV\n"
           "  --report FILE.pdf  also the PDF report of the run (A4: settings, inputs, every plane with its\n"
           "                     legend, scale bar and ROIs, the figures, histograms of the maps)\n"
           "  --dicom-maps       also the SNR maps and the g-factor map (in g) as DICOM Parametric Maps,\n"
           "                     NAME.dcm in DIR: a new series in the inputs' study (a new study for raw slices)\n"
           "  --dicom-results    the maps, and in the same study the report as Encapsulated PDF (report.dcm)\n"
           "                     and the figures as a measurement report (measurements.dcm, Enhanced SR)\n"
           "  --quiet            no progress bar\n"
           "  report --out FILE.pdf  where the report goes (default OUTDIR/report.pdf)\n"
           "  scan --rules FILE  roles and R where the headers say nothing: lines FIELD PATTERN ROLE [R],\n"
           "                     FIELD description or protocol, ROLE nopi or pi\n"
           "  scan --dry-run     prints the plan (--format table or json) and writes nothing\n"
           "  scan --again       measures runs the history already holds for the same images\n"
           "  scan --consecutive-from N  the consecutive method from N slices on (default 5), else\n"
           "                     the difference method on the first two images\n"
           "  scan --report      report.pdf in each run's folder\n"
           "  --repeats N        phantom slices per folder (default 16, 2 to 999)\n"
           "  --seed S           phantom noise seed (default 1)\n"
           "\n"
           "The results history: a run with --record is recorded once its folder is written, into the\n"
           "database of --db URL, else of $SNR_MAPS_DB, else $XDG_DATA_HOME/snr-maps/history.sqlite\n"
           "(~/.local/share/...). URL: sqlite:PATH, or postgresql://[USER[:PASSWORD]@][HOST][:PORT][/DBNAME]\n"
           "[?host=SOCKET_FOLDER&...] as PostgreSQL's own clients take it.\n"
           "  history            lists the recorded runs, newest first\n"
           "  trend              a figure of an item over the runs of one scanner, coil and method, oldest\n"
           "                     first, each run's change against the baseline in per cent\n"
           "  --scanner TEXT     runs whose maker, model, station name or serial number holds TEXT\n"
           "  --coil TEXT        runs whose receive coil holds TEXT (case is ignored in both)\n"
           "  --since DATE       runs that ended at DATE (YYYY-MM-DD, local time) or later\n"
           "  --format F         table (default), csv or json\n"
           "  --item ITEM        the plane, by its file name without .npy (snr_nopi, gfactor_map, ...)\n"
           "  --roi N            the figures of region N (numbered from 1, in the same place in every run)\n"
           "  --stat FIGURE      mean (default), p5, p50, p95, min, max, above_1.2, above_1.5;\n"
           "                     with --roi: mean, sd, min, max, n\n"
           "  --baseline RUN     the run to compare with (default: the first of the series); the series\n"
           "                     is of its scanner, coil and method, else of the newest run that passes\n"
           "                     the filters\n"
           "  --tolerance PCT    marks the runs that change by more than PCT per cent (or lose the figure)\n"
           "  --report FILE.pdf  also draws the trend as a chart with the tolerance band\n"
           "\n"
           "A DICOM node: listen receives MR and Enhanced MR images (C-STORE; C-ECHO answered), keeps\n"
           "them in the spool by study, and once nothing came for a study for the timeout groups, pairs\n"
           "and measures it as scan does, with --dicom-results, into DIR/STUDY (a series sent later\n"
           "pairs with those before it; runs made before are not made again).\n"
           "  --config FILE      KEY = VALUE lines of the options below without \"--\" (flags: yes or no)\n"
           "  --port N           TCP port (default 11112)     --aet AET   called AE title (default SNRMAP)\n"
           "  --allow AET        a calling AE title let in (may be repeated; without it any)\n"
           "  --spool DIR        where received instances wait    --out DIR  the runs' folders\n"
           "  --study-timeout S  seconds of quiet before a study is measured (default 30)\n"
           "  --send-to AET@HOST:PORT  results stored back there, retried until delivered\n"
           "  --report           each run's report.pdf    --rules FILE  as snrmap scan takes it\n"
           "SIGTERM or SIGINT stops it: no new association, writes finished, exit 0.\n"
           "\n"
           "Exit status: 0 success, 1 the measurement, the output or the history failed (message on\n"
           "standard error; a run's folder is written even when recording it fails), 2 usage error,\n"
           "3 the newest run of the trend lies beyond the tolerance.\n";
}

}  // namespace snr::snrmap
