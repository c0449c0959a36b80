// SPDX-License-Identifier: BSD-3-Clause
// The history against both back ends: what a record keeps, the listing, the trend, the schema.
#include <gtest/gtest.h>

#include "history/iso_time.h"
#include "tests/history/history_backends.h"
#include "tests/history/history_samples.h"

namespace snr::test {
namespace {

using history::HistoryError;
using history::RunFilter;
using history::TrendQuery;

template <class Backend>
using History = HistoryTest<Backend>;
TYPED_TEST_SUITE(History, Backends, BackendNames);

// The message of the failure `body` raises.
template <class Body>
std::string failure_of(Body body)
{
    try {
        body();
    } catch (const HistoryError& error) {
        return error.what();
    }
    return "no failure";
}

TYPED_TEST(History, KeepsEveryPartOfARunAsGiven)
{
    RunRecord run = sample_run("2025-03-01T10:00:00+09:00");
    // Texts from files are data, whatever they hold.
    const std::string hostile = "it's \"x\" \\ '); DROP TABLE runs; --";
    run.files[0].source.attributes.series_description = hostile;
    run.files[0].source.attributes.protocol_name = "QA\xff\xfe nopi";
    run.notices.push_back("PIなしとPIありでコイルが違います");
    run.output_folder = "/data/qa/a?b:c%d";
    PlaneSummary& figures = run.planes[0].figures;
    figures.mean = 0.1 + 0.2;
    figures.p5 = 1.0 / 3;
    figures.min = 5e-324;
    figures.max = 1.7976931348623157e308;
    figures.p95.reset();
    run.rois[0].planes[1].sd.reset();
    const long long id = this->open()->record(run);

    const auto runs = this->rows("SELECT id, run_time, time_utc, program, method, gfactor, r, scale_min, scale_step,"
                                 " output_folder FROM runs");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0][0].toLongLong(), id);
    EXPECT_EQ(runs[0][1].toString(), "2025-03-01T10:00:00+09:00");
    EXPECT_EQ(runs[0][2].toString(), "2025-03-01T01:00:00Z");
    EXPECT_EQ(runs[0][3].toString(), "snrmap 0.1.0");
    EXPECT_EQ(runs[0][4].toString(), "consecutive");
    EXPECT_EQ(runs[0][5].toInt(), 1);
    EXPECT_EQ(runs[0][6].toDouble(), 2.0);
    EXPECT_EQ(runs[0][8].toDouble(), 20.0);
    EXPECT_EQ(runs[0][9].toString(), "/data/qa/a?b:c%d");

    const auto inputs = this->rows("SELECT role, path, files, dicom_files, manufacturer, model, station_name,"
                                   " device_serial_number, receive_coil, protocol_name, series_description,"
                                   " acquisition_date FROM run_inputs ORDER BY ordinal");
    ASSERT_EQ(inputs.size(), 2u);
    const QStringList first{"nopi",
                            "/data/scan/nopi",
                            "2",
                            "2",
                            "Maker",
                            "Model 3T",
                            "MR1",
                            "4711",
                            "Head 32",
                            QString::fromUtf8("QA\u00ff\u00fe nopi"),
                            QString::fromStdString(hostile),
                            "20250301"};
    for (int k = 0; k < first.size(); ++k)
        EXPECT_EQ(inputs[0][k].toString(), first[k]) << k;
    EXPECT_EQ(inputs[1][0].toString(), "pi");
    EXPECT_EQ(inputs[1][9].toString(), "QA pi");

    const auto notices = this->rows("SELECT notice FROM run_notices ORDER BY ordinal");
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[2][0].toString(), QString::fromUtf8("PIなしとPIありでコイルが違います"));
    EXPECT_EQ(this->rows("SELECT role, slices FROM run_slice_counts ORDER BY role")[1][1].toInt(), 2);

    // Figures come back as the same doubles; an empty one as NULL.
    const auto planes = this->rows("SELECT name, item, unit, window_level, window_width, pixels, min, max, mean, p5,"
                                   " p95, above_1_2, above_1_5 FROM run_planes ORDER BY ordinal");
    ASSERT_EQ(planes.size(), 3u);
    EXPECT_EQ(planes[0][1].toString(), QString::fromUtf8("PIなし SNR map"));
    EXPECT_EQ(planes[0][2].toString(), "");
    EXPECT_EQ(planes[0][3].toInt(), 120);
    EXPECT_EQ(planes[0][5].toLongLong(), 4000);
    EXPECT_EQ(planes[0][6].toDouble(), 5e-324);
    EXPECT_EQ(planes[0][7].toDouble(), 1.7976931348623157e308);
    EXPECT_EQ(planes[0][8].toDouble(), 0.1 + 0.2);
    EXPECT_EQ(planes[0][9].toDouble(), 1.0 / 3);
    EXPECT_TRUE(planes[0][10].isNull());
    EXPECT_TRUE(planes[0][11].isNull());
    EXPECT_EQ(planes[2][2].toString(), "g");
    EXPECT_EQ(planes[2][11].toDouble(), 0.25);
    EXPECT_EQ(planes[2][12].toDouble(), 0.0);

    const auto files = this->rows("SELECT plane, name, sha256 FROM plane_files ORDER BY plane, name");
    ASSERT_EQ(files.size(), 6u);
    EXPECT_EQ(files[4][1].toString(), "gfactor_map.npy");
    EXPECT_EQ(files[4][2].toString(), QString(64, 'b'));

    const auto rois = this->rows("SELECT number, first_row, first_column, height, width FROM run_rois");
    ASSERT_EQ(rois.size(), 1u);
    EXPECT_EQ((std::vector<int>{rois[0][0].toInt(), rois[0][1].toInt(), rois[0][2].toInt(), rois[0][3].toInt(),
                                rois[0][4].toInt()}),
              (std::vector<int>{1, 100, 110, 20, 30}));
    const auto roi_figures = this->rows("SELECT plane, n, mean, sd FROM roi_figures ORDER BY plane");
    ASSERT_EQ(roi_figures.size(), 3u);
    EXPECT_EQ(roi_figures[0][1].toLongLong(), 600);
    EXPECT_EQ(roi_figures[0][2].toDouble(), 50.0);
    EXPECT_TRUE(roi_figures[1][3].isNull());

    EXPECT_GT(this->open()->record(run), id);
    this->expect_runs_whole(3);
}

TYPED_TEST(History, ListsRunsNewestFirstAndFilters)
{
    auto database = this->open();
    const ScannerFacts other{"Other Co", "Model 1.5T", "MR2", "SN-99", "Body 18"};
    const long long a = database->record(sample_run("2025-01-10T09:00:00+09:00"));
    const long long b = database->record(sample_run("2025-02-10T09:00:00Z", 50, other));
    const long long c = database->record(sample_run("2025-02-10T08:00:00-05:00"));  // 13:00 UTC, the newest
    RunRecord raw = sample_run("2024-12-24T12:00:00+01:00");
    for (InputFile& file : raw.files)
        file.source = {};
    const long long d = database->record(raw);

    const auto ids = [&](const RunFilter& filter) {
        std::vector<long long> listed;
        for (const auto& run : database->runs(filter))
            listed.push_back(run.id);
        return listed;
    };
    EXPECT_EQ(ids({}), (std::vector<long long>{c, b, a, d}));
    EXPECT_EQ(ids({"other co", "", ""}), std::vector<long long>{b});  // maker, whatever the case
    EXPECT_EQ(ids({"mr1", "", ""}), (std::vector<long long>{c, a}));  // station name
    EXPECT_EQ(ids({"n-9", "BODY", ""}), std::vector<long long>{b});   // serial number and coil
    EXPECT_EQ(ids({"", "head", ""}), (std::vector<long long>{c, a}));
    EXPECT_EQ(ids({"", "", *history::utc_time("2025-02-10T14:00:00+01:00")}), std::vector<long long>{c});
    EXPECT_EQ(ids({"", "", *history::utc_time("2025-02-10T09:00:00Z")}), (std::vector<long long>{c, b}));
    EXPECT_TRUE(ids({"no such scanner", "", ""}).empty());

    const auto runs = database->runs({});
    const history::RunListing& newest = runs.front();
    EXPECT_EQ(newest.time, "2025-02-10T08:00:00-05:00");
    EXPECT_EQ(history::scanner_text(newest.scanner), "Maker Model 3T MR1 4711");
    EXPECT_EQ(newest.scanner.receive_coil, "Head 32");
    EXPECT_EQ(newest.protocol_name, "QA nopi");
    EXPECT_EQ(newest.acquisition_date, "20250210");
    EXPECT_EQ(newest.notices, 2);
    EXPECT_TRUE(newest.gfactor);
    EXPECT_EQ(newest.r, 2.0);
    EXPECT_EQ(newest.output_folder, "/data/qa/2025-02-10T08:00:00-05:00");
    EXPECT_EQ(history::scanner_text(runs.back().scanner), "");  // raw slices tell nothing
}

TYPED_TEST(History, FollowsAFigureOfOneScannerAndCoilAgainstTheBaseline)
{
    auto database = this->open();
    const long long first = database->record(sample_run("2025-01-01T10:00:00+09:00", 50));
    database->record(sample_run("2025-01-15T10:00:00+09:00", 80, {.coil = "Body 18"}));
    RunRecord moved = sample_run("2025-02-01T10:00:00+09:00", 55);
    moved.rois[0].roi.row = 90;  // another region: not in the series of region 1
    const long long second = database->record(moved);
    database->record(sample_run("2025-02-15T10:00:00+09:00", 10, {.manufacturer = "Other Co"}));
    RunRecord difference = sample_run("2025-02-20T10:00:00+09:00", 30);
    difference.method = "submap";  // its planes are named alike: not of the series
    database->record(difference);
    const long long newest = database->record(sample_run("2025-03-01T10:00:00+09:00", 40));

    TrendQuery query;
    query.item = "snr_nopi";
    query.tolerance = 15;
    history::Trend trend = database->trend(query);
    EXPECT_EQ(trend.caption, "PIなし SNR map");
    EXPECT_EQ(trend.method, "consecutive");
    EXPECT_EQ(trend.scanner.receive_coil, "Head 32");
    EXPECT_EQ(trend.baseline, first);
    ASSERT_EQ(trend.points.size(), 3u);
    EXPECT_EQ((std::vector<long long>{trend.points[0].run, trend.points[1].run, trend.points[2].run}),
              (std::vector<long long>{first, second, newest}));
    EXPECT_EQ(trend.points[1].value, 55.0);
    EXPECT_DOUBLE_EQ(*trend.points[1].change, 10.0);
    EXPECT_DOUBLE_EQ(*trend.points[2].change, -20.0);
    EXPECT_FALSE(trend.points[1].beyond);
    EXPECT_TRUE(history::newest_beyond(trend));

    query.tolerance = 25;
    EXPECT_FALSE(history::newest_beyond(database->trend(query)));
    query.baseline = second;
    trend = database->trend(query);
    EXPECT_DOUBLE_EQ(*trend.points[2].change, (40.0 - 55.0) / 55.0 * 100.0);
    EXPECT_TRUE(history::newest_beyond(trend));

    // The scanner and coil of the newest run that passes the filter make the series.
    query.baseline = 0;
    query.filter.coil = "body";
    EXPECT_EQ(database->trend(query).points.size(), 1u);
    query.filter = {"other", "", ""};
    EXPECT_EQ(database->trend(query).points[0].value, 10.0);

    // A region: the runs where region 1 lies in the same place as in the newest run.
    query.filter = {};
    query.roi = 1;
    query.figure = "max";
    trend = database->trend(query);
    ASSERT_EQ(trend.points.size(), 2u);
    EXPECT_EQ(trend.roi_place, (Roi{100, 110, 20, 30}));
    EXPECT_EQ(trend.points[1].value, 60.0);

    query.roi = 0;
    query.item = "gfactor_map";
    query.figure = "above_1.2";
    EXPECT_EQ(database->trend(query).points[2].value, 0.25);

    const std::string named = "history database " + this->location.shown + ": ";
    query.item = "snr_none";
    EXPECT_EQ(failure_of([&] { database->trend(query); }), named + "no recorded run has the item 'snr_none'");
    query.item = "snr_nopi";
    query.baseline = 9999;
    EXPECT_EQ(failure_of([&] { database->trend(query); }), named + "no run 9999 in the history");
    query.baseline = first;
    query.item = "snr_none";
    EXPECT_EQ(failure_of([&] { database->trend(query); }),
              named + "run " + std::to_string(first) + " has no item 'snr_none'");
    query.item = "snr_nopi";
    query.figure = "p99";
    EXPECT_EQ(failure_of([&] { database->trend(query); }), named + "no figure 'p99' to follow");
}

// A plane's figures over the phantom and over the whole image are never one series; the runs
// left out are counted. A region of interest's figures do not depend on it.
TYPED_TEST(History, APlaneFigureFollowsTheRunsOfOneRegion)
{
    auto database = this->open();
    const long long first = database->record(sample_run("2025-01-01T10:00:00Z", 50));
    database->record(sample_run("2025-01-02T10:00:00Z", 51));
    std::vector<long long> phantom;
    for (const char* time : {"2025-02-01T10:00:00Z", "2025-02-02T10:00:00Z", "2025-02-03T10:00:00Z"}) {
        RunRecord run = sample_run(time, 90);
        run.region.kind = RegionKind::Phantom;
        phantom.push_back(database->record(run));
    }
    TrendQuery query;
    query.item = "snr_nopi";
    history::Trend trend = database->trend(query);
    EXPECT_EQ(trend.region, "phantom");
    EXPECT_EQ(trend.other_region_runs, 2);
    ASSERT_EQ(trend.points.size(), 3u);
    EXPECT_EQ(trend.points[0].run, phantom[0]);
    EXPECT_EQ(trend.baseline, phantom[0]);
    EXPECT_EQ(history::region_note(trend), "region: phantom (2 runs over all left out; --baseline one of them follows those)");

    query.baseline = first;
    trend = database->trend(query);
    EXPECT_EQ(trend.region, "all");
    EXPECT_EQ(trend.points.size(), 2u);
    EXPECT_EQ(trend.other_region_runs, 3);

    query.baseline = 0;
    query.roi = 1;
    trend = database->trend(query);
    EXPECT_EQ(trend.points.size(), 5u);
    EXPECT_EQ(history::region_note(trend), "");
}

TYPED_TEST(History, CreatesItsSchemaOnceAndRefusesOneItCannotRead)
{
    {
        auto database = this->open();
        EXPECT_EQ(database->schema_version(), history::current_schema_version());
        database->record(sample_run("2025-01-01T10:00:00Z"));
    }
    EXPECT_EQ(this->open()->runs({}).size(), 1u);

    const std::string current = std::to_string(history::current_schema_version());
    const std::string newer = std::to_string(history::current_schema_version() + 1);
    this->execute("UPDATE schema_version SET version = " + newer);
    EXPECT_EQ(failure_of([&] { this->open(); }),
              "history database " + this->location.shown + ": its schema is version " + newer +
                  ", newer than this program's " + current + "; record and read it with a newer snr-maps");

    // A database of something else is left alone.
    this->location = history::parse_database_url(TypeParam::fresh_url(this->tmp, "other.sqlite"));
    this->execute("CREATE TABLE patients (name TEXT)");
    EXPECT_EQ(failure_of([&] { this->open(); }),
              "history database " + this->location.shown +
                  ": it holds tables but no snr-maps history; give a new file or an empty database");
}

TYPED_TEST(History, ReadsWithoutWritingAndSaysWhereThereIsNone)
{
    const auto listed = [&] { return history::HistoryDatabase(this->location, history::Access::Read).runs({}).size(); };
    EXPECT_EQ(failure_of(listed), "no history at " + this->location.shown);
    this->open()->record(sample_run("2025-01-01T10:00:00Z"));
    EXPECT_EQ(listed(), 1u);
    history::HistoryDatabase reader(this->location, history::Access::Read);
    EXPECT_NE(failure_of([&] { reader.record(sample_run("2025-01-02T10:00:00Z")); }), "no failure");
    EXPECT_EQ(this->open()->runs({}).size(), 1u);
}

// A history of the first schema is read as it is and, at the first recording, gains the
// columns of the facts added since; its runs keep '' there.
TYPED_TEST(History, AnOlderSchemaIsReadAsItIsAndBroughtUpToDateByARecording)
{
    for (const QString& sql : history::migration_from(0, TypeParam::dialect()))
        this->execute(sql.toStdString());
    this->execute("INSERT INTO schema_version (version) VALUES (1)");
    this->execute("INSERT INTO runs (run_time, time_utc, program, method, gfactor, r, scale_min, scale_step,"
                  " output_folder) VALUES ('2024-01-01T00:00:00Z', '2024-01-01T00:00:00Z', 'snrmap 0.1.0',"
                  " 'submap', 0, NULL, 60, 20, '')");
    this->execute("INSERT INTO run_inputs (run_id, ordinal, role, path, files, dicom_files, manufacturer, model,"
                  " station_name, device_serial_number, receive_coil, protocol_name, series_description,"
                  " acquisition_date) VALUES (1, 0, 'nopi_1', '/old', 1, 1, 'Maker', 'M', '', '', '', '', '', '')");
    EXPECT_EQ(history::HistoryDatabase(this->location, history::Access::Read).runs({}).size(), 1u);

    RunRecord run = sample_run("2025-01-01T10:00:00Z");
    run.files[0].source.attributes.magnetic_field_strength = "1.5";
    run.region.kind = RegionKind::Phantom;
    this->open()->record(run);
    // The earlier run's figures were over every pixel outside the legend box.
    const auto regions = this->rows("SELECT region FROM runs ORDER BY id");
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0][0].toString(), "all");
    EXPECT_EQ(regions[1][0].toString(), "phantom");
    EXPECT_EQ(this->rows("SELECT version FROM schema_version")[0][0].toInt(), history::current_schema_version());
    const auto strengths = this->rows("SELECT magnetic_field_strength FROM run_inputs ORDER BY run_id, ordinal");
    ASSERT_EQ(strengths.size(), 3u);
    EXPECT_EQ(strengths[0][0].toString(), "");
    EXPECT_EQ(strengths[1][0].toString(), "1.5");
}

// The one call of a window: the user's history, wherever SNR_MAPS_DB or the default puts it.
TEST(UsersHistory, TakesAWindowsRunInOneCall)
{
    TempFolder tmp;
    ::setenv("SNR_MAPS_DB", ("sqlite:" + tmp.file("mine.sqlite")).c_str(), 1);
    RunRecord run = sample_run("2025-06-01T09:00:00+09:00");
    run.output_folder.clear();  // a window writes no folder
    for (ResultPlane& plane : run.planes)
        plane.files.clear();
    EXPECT_EQ(history::record_in_history(run), 1);
    EXPECT_EQ(history::open_history("sqlite:" + tmp.file("mine.sqlite")).runs({})[0].output_folder, "");

    ::setenv("SNR_MAPS_DB", "sqlite:", 1);
    EXPECT_EQ(failure_of([&] { history::record_in_history(run); }).rfind("SNR_MAPS_DB: database URL 'sqlite:': ", 0),
              0u);
    ::unsetenv("SNR_MAPS_DB");
}

TYPED_TEST(History, KnowsARunByItsInputInstancesAndSettings)
{
    RunRecord run = sample_run("2025-01-01T10:00:00Z");
    history::RunInstances same{run.method, run.gfactor, run.r, run.scale_min, run.scale_step, {}};
    for (auto it = run.files.rbegin(); it != run.files.rend(); ++it)  // the order does not matter
        same.instances.emplace_back(it->role, it->source.attributes.sop_instance_uid);
    long long id = 0;
    {
        auto database = this->open();
        EXPECT_EQ(database->recorded_run(same), 0);
        id = database->record(run);
        EXPECT_EQ(database->recorded_run(same), id);
        history::RunInstances other = same;
        other.r = 3;
        EXPECT_EQ(database->recorded_run(other), 0);
        other = same;
        other.instances.pop_back();
        EXPECT_EQ(database->recorded_run(other), 0);
        other = same;
        std::swap(other.instances.front().first, other.instances.back().first);  // roles swapped
        EXPECT_EQ(database->recorded_run(other), 0);
    }
    // A history of version 2, before the instances were kept, is brought up to date.
    this->execute("DROP TABLE run_instances");
    this->execute("ALTER TABLE runs DROP COLUMN region");
    this->execute("UPDATE schema_version SET version = 2");
    auto database = this->open();
    EXPECT_EQ(database->recorded_run(same), 0);
    database->record(run);
    EXPECT_GT(database->recorded_run(same), id);
}

}  // namespace
}  // namespace snr::test
