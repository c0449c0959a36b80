// SPDX-License-Identifier: BSD-3-Clause
// HistoryDatabase::runs and ::trend: reading the history back.
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "history/history_database.h"
#include "history/schema.h"
#include "history/sql_values.h"
#include "record/input_facts.h"

namespace snr::history {

namespace {

constexpr const char* listing = "cannot list the runs";
constexpr const char* following = "cannot read the trend";

// The scanner's facts and then the coil of the run's first input are read in a row, from some
// column on: scanner_columns in a select.
const int scanner_facts_count = static_cast<int>(scanner_facts().size());

QString scanner_columns()
{
    QString columns;
    for (const InputFact* fact : scanner_facts())
        columns += QStringLiteral(" i.%1,").arg(QLatin1String(fact->column));
    return columns + " i.receive_coil";
}

// A run's region in a select: its column, or 'all' in a history from before regions were
// kept, whose runs all had their figures over all.
QString run_region(int schema_version) { return schema_version >= region_since ? "r.region" : "'all'"; }

Scanner scanner_at(const QSqlQuery& row, int first)
{
    Scanner scanner;
    for (int k = 0; k < scanner_facts_count; ++k)
        scanner.facts.push_back(string_of(row.value(first + k)));
    scanner.receive_coil = string_of(row.value(first + scanner_facts_count));
    return scanner;
}

// Case is ignored alike in both back ends: the texts are compared here, not in SQL. The
// filter's texts are made once and the row's values are compared as the driver gives them.
class Passes {
public:
    explicit Passes(const RunFilter& filter)
        : scanner_(QString::fromStdString(filter.scanner)), coil_(QString::fromStdString(filter.coil))
    {
    }

    // Whether the facts of the run's first input, from `first` on in a row, pass.
    bool operator()(const QSqlQuery& row, int first) const
    {
        const auto has = [&](int column, const QString& part) {
            return part.isEmpty() || row.value(first + column).toString().contains(part, Qt::CaseInsensitive);
        };
        bool scanner_matches = scanner_.isEmpty();
        for (int k = 0; k < scanner_facts_count && !scanner_matches; ++k)
            scanner_matches = has(k, scanner_);
        return scanner_matches && has(scanner_facts_count, coil_);
    }

private:
    QString scanner_, coil_;
};

// The column of a figure: the names are the fixed ones the trend knows, never the user's text.
QString figure_column(const TrendQuery& query)
{
    const auto& names = query.roi > 0 ? roi_figure_names() : plane_figure_names();
    if (std::find(names.begin(), names.end(), query.figure) == names.end())
        return {};
    QString column = QString::fromStdString(query.figure).replace('.', '_');
    return (query.roi > 0 ? "f." : "p.") + column;
}

}  // namespace

std::vector<RunListing> HistoryDatabase::runs(const RunFilter& filter)
{
    QSqlQuery query = statement(QString("SELECT r.id, r.run_time, r.program, r.method, r.gfactor, r.r, r.scale_min,"
                                        " r.scale_step, r.output_folder,") +
                                    scanner_columns() +
                                    ", i.protocol_name, i.series_description, i.acquisition_date,"
                                    " (SELECT COUNT(*) FROM run_notices n WHERE n.run_id = r.id)"
                                    " FROM runs r JOIN run_inputs i ON i.run_id = r.id AND i.ordinal = 0"
                                    " WHERE r.time_utc >= ? ORDER BY r.time_utc DESC, r.id DESC",
                                listing);
    query.addBindValue(QString::fromStdString(filter.since));
    run(query, listing);
    std::vector<RunListing> runs;
    const Passes passes(filter);
    while (query.next()) {
        if (!passes(query, 9))
            continue;
        RunListing listed;
        listed.scanner = scanner_at(query, 9);
        listed.id = query.value(0).toLongLong();
        listed.time = string_of(query.value(1));
        listed.program = string_of(query.value(2));
        listed.method = string_of(query.value(3));
        listed.gfactor = query.value(4).toInt() != 0;
        listed.r = figure_of(query.value(5));
        listed.scale_min = query.value(6).toDouble();
        listed.scale_step = query.value(7).toDouble();
        listed.output_folder = string_of(query.value(8));
        const int after = 9 + scanner_facts_count + 1;
        listed.protocol_name = string_of(query.value(after));
        listed.series_description = string_of(query.value(after + 1));
        listed.acquisition_date = string_of(query.value(after + 2));
        listed.notices = query.value(after + 3).toLongLong();
        runs.push_back(std::move(listed));
    }
    if (query.lastError().isValid())
        fail(listing, query.lastError());
    return runs;
}

bool HistoryDatabase::has_run(long long id)
{
    QSqlQuery query = statement("SELECT id FROM runs WHERE id = ?", following);
    query.addBindValue(static_cast<qlonglong>(id));
    run(query, following);
    return query.next();
}

Trend HistoryDatabase::trend(const TrendQuery& query)
{
    const QString value = figure_column(query);
    if (value.isEmpty())
        fail("no figure '" + query.figure + "' to follow" + (query.roi > 0 ? " in a region" : ""));
    const QString item = sql_text(query.item);
    const QString roi_join = query.roi > 0 ? " JOIN run_rois o ON o.run_id = r.id AND o.number = ?" : "";
    const QString roi_columns = query.roi > 0 ? ", o.first_row, o.first_column, o.height, o.width" : "";
    // A plane's figures follow the runs whose figures are over the same region as the
    // reference run's.
    const bool by_region = query.roi == 0;
    const QString region_column = by_region ? ", " + run_region(schema_version()) : "";

    // The run whose scanner, coil and method make the series: the baseline, or the newest that
    // passes. The two methods name their planes alike but measure the noise differently.
    QSqlQuery reference = statement(QString("SELECT r.id, r.method,") + scanner_columns() + roi_columns + region_column +
                                        " FROM runs r JOIN run_inputs i ON i.run_id = r.id AND i.ordinal = 0"
                                        " JOIN run_planes p ON p.run_id = r.id AND p.name = ?" +
                                        roi_join + (query.baseline > 0 ? " WHERE r.id = ?" : "") +
                                        " ORDER BY r.time_utc DESC, r.id DESC",
                                    following);
    reference.addBindValue(item);
    if (query.roi > 0)
        reference.addBindValue(query.roi);
    if (query.baseline > 0)
        reference.addBindValue(static_cast<qlonglong>(query.baseline));
    run(reference, following);
    Trend trend;
    trend.item = query.item;
    trend.figure = query.figure;
    trend.roi = query.roi;
    trend.tolerance = query.tolerance;
    bool found = false;
    const Passes passes(query.filter);
    while (!found && reference.next()) {
        trend.method = string_of(reference.value(1));
        trend.scanner = scanner_at(reference, 2);
        found = query.baseline > 0 || passes(reference, 2);
        if (found && query.roi > 0) {
            const int at = 2 + scanner_facts_count + 1;
            trend.roi_place = {reference.value(at).toInt(), reference.value(at + 1).toInt(),
                               reference.value(at + 2).toInt(), reference.value(at + 3).toInt()};
        }
        if (found && by_region)
            trend.region = string_of(reference.value(2 + scanner_facts_count + 1));
    }
    if (reference.lastError().isValid())
        fail(following, reference.lastError());
    if (!found) {
        const std::string region = query.roi > 0 ? " with region " + std::to_string(query.roi) : "";
        if (query.baseline > 0 && !has_run(query.baseline))
            fail("no run " + std::to_string(query.baseline) + " in the history");
        if (query.baseline > 0)
            fail("run " + std::to_string(query.baseline) + " has no item '" + query.item + "'" + region);
        fail("no recorded run has the item '" + query.item + "'" + region +
             (query.filter.scanner.empty() && query.filter.coil.empty() ? "" : " and the scanner and coil asked for"));
    }
    reference.finish();

    QString same_scanner;
    for (const InputFact* fact : scanner_facts())
        same_scanner += QStringLiteral(" i.%1 = ? AND").arg(QLatin1String(fact->column));
    QSqlQuery series = statement(
        "SELECT r.id, r.run_time, p.item, " + value + region_column +
            " FROM runs r JOIN run_inputs i ON i.run_id = r.id AND i.ordinal = 0"
            " JOIN run_planes p ON p.run_id = r.id AND p.name = ?" +
            (query.roi > 0 ? " JOIN run_rois o ON o.run_id = r.id AND o.number = ? AND o.first_row = ?"
                             " AND o.first_column = ? AND o.height = ? AND o.width = ?"
                             " JOIN roi_figures f ON f.run_id = r.id AND f.number = o.number AND f.plane = p.ordinal"
                           : "") +
            " WHERE" + same_scanner + " i.receive_coil = ? AND r.method = ? ORDER BY r.time_utc, r.id",
        following);
    series.addBindValue(item);
    if (query.roi > 0) {
        for (int number :
             {query.roi, trend.roi_place.row, trend.roi_place.column, trend.roi_place.height, trend.roi_place.width})
            series.addBindValue(number);
    }
    for (const std::string& fact : trend.scanner.facts)
        series.addBindValue(sql_text(fact));
    series.addBindValue(sql_text(trend.scanner.receive_coil));
    series.addBindValue(sql_text(trend.method));
    run(series, following);
    while (series.next()) {
        if (by_region && string_of(series.value(4)) != trend.region) {
            ++trend.other_region_runs;
            continue;
        }
        trend.points.push_back(
            {series.value(0).toLongLong(), string_of(series.value(1)), figure_of(series.value(3)), std::nullopt});
        trend.caption = string_of(series.value(2));
    }
    if (series.lastError().isValid())
        fail(following, series.lastError());

    if (trend.points.empty())
        fail("the runs of item '" + query.item + "' hold no figures");
    trend.baseline = query.baseline > 0 ? query.baseline : trend.points.front().run;
    for (const TrendPoint& point : trend.points) {
        if (point.run == trend.baseline)
            trend.baseline_value = point.value;
    }
    compare_with_baseline(trend);
    return trend;
}

long long HistoryDatabase::recorded_run(const RunInstances& run)
{
    constexpr const char* looking = "cannot look for the run";
    if (run.instances.empty())
        return 0;
    // The runs that read the first instance; each is compared whole here.
    const QString region = run_region(schema_version());
    QSqlQuery query = statement("SELECT r.id, r.method, r.gfactor, r.r, r.scale_min, r.scale_step, i.role,"
                                " i.sop_instance_uid, " + region + " FROM runs r JOIN run_instances i ON i.run_id = r.id"
                                " WHERE r.id IN (SELECT run_id FROM run_instances WHERE sop_instance_uid = ?)"
                                " ORDER BY r.id DESC, i.ordinal",
                                looking);
    query.bindValue(0, sql_text(run.instances.front().second));
    this->run(query, looking);
    auto wanted = run.instances;
    std::sort(wanted.begin(), wanted.end());
    long long id = 0, found = 0;
    bool same = false;
    std::vector<std::pair<std::string, std::string>> read;
    const auto judge = [&] {
        std::sort(read.begin(), read.end());
        if (same && read == wanted && found == 0)
            found = id;
    };
    while (query.next()) {
        if (query.value(0).toLongLong() != id) {
            judge();
            id = query.value(0).toLongLong();
            read.clear();
            const bool same_r = query.value(3).isNull() ? !run.r.has_value()
                                                        : run.r.has_value() && *run.r == query.value(3).toDouble();
            same = string_of(query.value(1)) == run.method && (query.value(2).toInt() != 0) == run.gfactor && same_r &&
                   query.value(4).toDouble() == run.scale_min && query.value(5).toDouble() == run.scale_step &&
                   string_of(query.value(8)) == run.region;
        }
        read.emplace_back(string_of(query.value(6)), string_of(query.value(7)));
    }
    judge();
    return found;
}

}  // namespace snr::history
