// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <sstream>

#include "tests/tools/tool_files.h"
#include "tools/snrmap/command_line.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {
namespace {

CommandLine parse(std::vector<std::string> args) { return parse_command_line(args); }

TEST(CommandLine, MeasurementsTakeTheWindowsDefaultsAndTheGFactorFromThePiInputs)
{
    const CommandLine off = parse({"consecutive", "a", "--out", "o"});
    EXPECT_EQ(off.action, Action::Consecutive);
    EXPECT_EQ(off.inputs, std::vector<std::string>{"a"});
    EXPECT_EQ(off.out, "o");
    EXPECT_EQ(off.r_text, "2");
    EXPECT_EQ(off.legend.minimum, "60");
    EXPECT_EQ(off.legend.step, "20");
    EXPECT_FALSE(off.quiet);

    const CommandLine on = parse({"submap", "--out=o", "1", "2", "3", "4", "--r", " 0", "--scale-min", "x"});
    EXPECT_EQ(on.action, Action::Submap);
    EXPECT_EQ(on.inputs.size(), 4u);
    EXPECT_EQ(on.r_text, " 0");  // texts pass unread: the run refuses or converts them
    EXPECT_EQ(on.legend.minimum, "x");
}

TEST(CommandLine, AnOptionValueMayLookLikeAnOptionAndDoubleDashEndsOptions)
{
    const CommandLine line = parse({"consecutive", "--scale-step", "-20", "--r=", "--out", "o", "--", "--odd-folder"});
    EXPECT_EQ(line.legend.step, "-20");
    EXPECT_EQ(line.r_text, "");
    EXPECT_EQ(line.inputs, std::vector<std::string>{"--odd-folder"});
}

TEST(CommandLine, ScanTakesRootsFlagsAndNoR)
{
    const CommandLine dry = parse({"scan", "a", "b", "--dry-run", "--format", "json", "--rules", "r"});
    EXPECT_EQ(dry.action, Action::Scan);
    EXPECT_EQ(dry.inputs, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(dry.dry_run);
    EXPECT_EQ(dry.consecutive_from, 5);
    const CommandLine run =
        parse({"scan", "a", "--out", "o", "--report", "--again", "--consecutive-from", "8", "--dicom-results"});
    EXPECT_EQ(run.report, "report.pdf");
    EXPECT_TRUE(run.dicom_results && run.dicom_maps);
    EXPECT_TRUE(run.again);
    EXPECT_EQ(run.consecutive_from, 8);
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"scan", "--out", "o"}, {"scan", "a"}, {"scan", "a", "--out", "o", "--r", "2"},
          {"scan", "a", "--dry-run", "--format", "csv"}, {"scan", "a", "--out", "o", "--consecutive-from", "2"},
          {"scan", "a", "--out", "o", "--db", "sqlite:h"}})
        EXPECT_THROW(parse(wrong), UsageError) << wrong.back();
}

TEST(CommandLine, PhantomSettings)
{
    const CommandLine defaults = parse({"phantom", "--out", "d"});
    EXPECT_EQ(defaults.repeats, 16);
    EXPECT_EQ(defaults.seed, 1u);
    EXPECT_EQ(defaults.phantom_r, 2.0);
    const CommandLine set = parse({"phantom", "--out", "d", "--repeats", "40", "--seed", "18446744073709551615",
                                   "--r", "3"});
    EXPECT_EQ(set.repeats, 40);
    EXPECT_EQ(set.seed, 18446744073709551615u);
    EXPECT_EQ(set.phantom_r, 3.0);
}

TEST(CommandLine, ReportsAndDicomMaps)
{
    const CommandLine run = parse({"submap", "1", "2", "--dicom-maps", "--out", "o", "--report", "r.pdf"});
    EXPECT_TRUE(run.dicom_maps);
    EXPECT_EQ(run.report, "r.pdf");
    EXPECT_FALSE(parse({"consecutive", "a", "--out", "o"}).dicom_maps);

    const CommandLine folder = parse({"report", "o"});
    EXPECT_EQ(folder.action, Action::Report);
    EXPECT_EQ(folder.inputs, std::vector<std::string>{"o"});
    EXPECT_EQ(folder.out, "");  // o/report.pdf
    EXPECT_EQ(parse({"report", "--out=r.pdf", "o"}).out, "r.pdf");

    const std::vector<std::vector<std::string>> wrong = {
        {"report"},
        {"report", "o", "p"},
        {"report", "o", "--out", ""},
        {"report", "o", "--dicom-maps"},
        {"consecutive", "a", "--out", "o", "--dicom-maps=yes"},
        {"consecutive", "a", "--out", "o", "--report"},
        {"consecutive", "a", "--out", "o", "--report", ""},
        {"phantom", "--out", "d", "--report", "r.pdf"},
    };
    for (const auto& args : wrong)
        EXPECT_THROW(parse_command_line(args), UsageError) << ::testing::PrintToString(args);
}

TEST(CommandLine, RefusesWhatNamesNoValidCommand)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"measure", "a", "--out", "o"},
        {"consecutive", "a"},                                  // no --out
        {"consecutive", "a", "--out", "o", "--scale-min"},     // value missing
        {"consecutive", "--out", "o"},                         // no folder
        {"consecutive", "a", "b", "c", "--out", "o"},
        {"submap", "1", "2", "3", "--out", "o"},               // PI pair incomplete
        {"submap", "1", "2", "--out", "o", "--quiet"},         // no progress bar there
        {"consecutive", "a", "--out", "o", "--out", "p"},
        {"consecutive", "a", "--out", "o", "--quiet=yes"},
        {"consecutive", "a", "--out", "o", "--repeats", "3"},
        {"phantom", "extra", "--out", "d"},
        {"phantom", "--out", "d", "--repeats", "1"},
        {"phantom", "--out", "d", "--repeats", "1000"},
        {"phantom", "--out", "d", "--repeats", "16x"},
        {"phantom", "--out", "d", "--seed", "-1"},
        {"phantom", "--out", "d", "--r", "0"},
        {"phantom", "--out", "d", "--r", "1e-400"},              // above 0, but 0 as a double
        {"phantom", "--out", "d", "--r", "two"},
        {"--version", "x"},
    };
    for (const auto& args : wrong)
        EXPECT_THROW(parse_command_line(args), UsageError) << ::testing::PrintToString(args);
}

TEST(CommandLine, RegionsOfInterest)
{
    const CommandLine line = parse({"submap", "1", "2", "--roi", "0,0,256,256", "--out", "o", "--roi=255,7,1,249",
                                    "--roi", "010,2,3,4"});
    EXPECT_EQ(line.rois, (std::vector<Roi>{{0, 0, 256, 256}, {255, 7, 1, 249}, {10, 2, 3, 4}}));
    EXPECT_TRUE(parse({"consecutive", "a", "--out", "o"}).rois.empty());

    const std::vector<std::string> wrong = {
        "", "1,2,3", "1,2,3,4,5", "1,2,3,4,", ",1,2,3", "1,,2,3", "a,b,c,d", "1, 2,3,4", " 1,2,3,4", "1,2,3,4 ",
        "+1,2,3,4", "-1,2,3,4", "1.0,2,3,4", "0,0,0,1", "0,0,1,0", "256,0,1,1", "0,255,1,2", "1,0,256,1",
        "0,0,99999999999,1", "0x1,0,1,1",
    };
    for (const auto& text : wrong) {
        try {
            parse({"consecutive", "a", "--out", "o", "--roi", text});
            ADD_FAILURE() << "took '" << text << "'";
        } catch (const UsageError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("--roi ", 0), 0u) << error.what();
        }
    }
    EXPECT_THROW(parse({"phantom", "--out", "d", "--roi", "0,0,1,1"}), UsageError);
    EXPECT_THROW(parse({"consecutive", "a", "--out", "o", "--roi"}), UsageError);
}

TEST(CommandLine, HistoryOptions)
{
    const CommandLine recorded = parse({"submap", "1", "2", "--out", "o", "--record", "--db", "postgresql:///h?host=/s"});
    EXPECT_TRUE(recorded.record);
    EXPECT_EQ(recorded.db, "postgresql:///h?host=/s");
    EXPECT_FALSE(parse({"consecutive", "a", "--out", "o"}).record);

    const CommandLine listed = parse({"history", "--scanner", "MR1", "--since", "2025-03-01", "--format=json"});
    EXPECT_EQ(listed.action, Action::History);
    EXPECT_EQ(listed.scanner, "MR1");
    EXPECT_EQ(listed.since, "2025-03-01");
    EXPECT_EQ(listed.format, "json");
    EXPECT_EQ(parse({"history"}).format, "table");

    const CommandLine followed = parse({"trend", "--item", "gfactor_map", "--roi", "2", "--stat", "sd", "--baseline",
                                        "17", "--tolerance", "2.5", "--report", "t.pdf"});
    EXPECT_EQ(followed.action, Action::Trend);
    EXPECT_EQ(followed.item, "gfactor_map");
    EXPECT_EQ(followed.trend_roi, 2);
    EXPECT_EQ(followed.figure, "sd");
    EXPECT_EQ(followed.baseline, 17);
    EXPECT_EQ(followed.tolerance, 2.5);
    EXPECT_EQ(followed.report, "t.pdf");
    EXPECT_EQ(parse({"trend", "--item", "snr_pi", "--stat", "above_1.5"}).figure, "above_1.5");

    const std::vector<std::vector<std::string>> wrong = {
        {"consecutive", "a", "--out", "o", "--db", "sqlite:/h"},   // --db without --record
        {"consecutive", "a", "--out", "o", "--record=yes"},
        {"consecutive", "a", "--out", "o", "--record", "--db", "/h.sqlite"},
        {"phantom", "--out", "d", "--record"},
        {"history", "a"},
        {"history", "--out", "o"},
        {"history", "--since", "March"},
        {"history", "--since", "2025-02-30"},
        {"history", "--format", "xml"},
        {"trend"},                                                 // no item
        {"trend", "--item", "snr_pi", "--stat", "sd"},             // a region's figure
        {"trend", "--item", "snr_pi", "--roi", "1", "--stat", "p95"},
        {"trend", "--item", "snr_pi", "--roi", "0"},
        {"trend", "--item", "snr_pi", "--roi", "1", "--roi", "2"},
        {"trend", "--item", "snr_pi", "--roi", "1,2,3,4"},
        {"trend", "--item", "snr_pi", "--baseline", "0"},
        {"trend", "--item", "snr_pi", "--baseline", "3", "--coil", "Head"},
        {"trend", "--item", "snr_pi", "--tolerance", "-1"},
        {"trend", "--item", "snr_pi", "--tolerance", "nan"},
        {"trend", "--item", "snr_pi", "--tolerance", "5%"},
        {"trend", "--item", "snr_pi", "--report", ""},
    };
    for (const auto& args : wrong)
        EXPECT_THROW(parse_command_line(args), UsageError) << ::testing::PrintToString(args);
}

using Outcome = test::SnrmapOutcome;
constexpr auto run = test::run_snrmap_here;

TEST(CommandLine, ExitCodesAndTextsOfHelpVersionAndUsageErrors)
{
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "snrmap " SNRMAP_TEST_VERSION "\n");

    const Outcome help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out.rfind(usage_text(), 0), 0u);
    EXPECT_TRUE(help.err.empty());
    EXPECT_EQ(run({"phantom", "--help"}).code, 0);

    const Outcome usage = run({"consecutive", "a"});
    EXPECT_EQ(usage.code, 2);
    EXPECT_TRUE(usage.out.empty());
    EXPECT_EQ(usage.err, "snrmap: --out DIR is required\n" + usage_text());
    const Outcome roi = run({"consecutive", "a", "--out", "o", "--roi", "1,2"});
    EXPECT_EQ(roi.code, 2);
    EXPECT_EQ(roi.err.rfind("snrmap: --roi ", 0), 0u) << roi.err;
}

}  // namespace
}  // namespace snr::snrmap
