// SPDX-License-Identifier: BSD-3-Clause
// HistoryDatabase::record: a run, what it read and what it found, in one transaction.
#include <QSqlQuery>
#include <vector>

#include "core/dicom_text.h"
#include "history/history_database.h"
#include "history/iso_time.h"
#include "history/sql_values.h"
#include "record/input_facts.h"

namespace snr::history {

namespace {

constexpr const char* recording = "cannot record the run";

// What the history keeps of an input: how many of its files were read and the facts of the
// first of them that is a DICOM image.
struct InputFacts {
    long long files = 0, dicom_files = 0;
    const DicomAttributes* first = nullptr;
};

InputFacts facts_of(const std::string& role, const std::vector<InputFile>& files)
{
    InputFacts facts;
    for (const InputFile& file : files) {
        if (file.role != role)
            continue;
        ++facts.files;
        if (file.source.dicom && facts.dicom_files++ == 0)
            facts.first = &file.source.attributes;
    }
    return facts;
}

// An INSERT of one row into these columns, a placeholder each.
QString insert_into(const char* table, const std::vector<std::string>& columns)
{
    QString names, places;
    for (const std::string& column : columns) {
        names += (names.isEmpty() ? "" : ", ") + QString::fromStdString(column);
        places += places.isEmpty() ? "?" : ", ?";
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(QLatin1String(table), names, places);
}

}  // namespace

long long HistoryDatabase::record(const RunRecord& run)
{
    const std::optional<std::string> time_utc = utc_time(run.time);
    if (!time_utc)
        fail("the run's time '" + run.time + "' is not ISO 8601");

    // Each statement is prepared once and run for every row.
    const auto insert = [this](QSqlQuery& query, const std::vector<QVariant>& values) {
        int position = 0;
        for (const QVariant& value : values)
            query.bindValue(position++, value);
        this->run(query, recording);
    };
    const auto text = [](const std::string& bytes) { return QVariant(sql_text(bytes)); };

    begin_write(recording);
    try {
        QSqlQuery runs = statement("INSERT INTO runs (run_time, time_utc, program, method, gfactor, r, scale_min,"
                                   " scale_step, output_folder, region) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id",
                                   recording);
        insert(runs, {text(run.time), QString::fromStdString(*time_utc), text(run.program), text(run.method),
                      run.gfactor ? 1 : 0, value_of(run.r), run.scale_min, run.scale_step, text(run.output_folder),
                      QString::fromLatin1(region_kind_name(run.region.kind))});
        if (!runs.next())
            fail("the database gave the new run no id");
        const qlonglong id = runs.value(0).toLongLong();
        runs.finish();

        std::vector<std::string> input_columns{"run_id", "ordinal", "role", "path", "files", "dicom_files"};
        for (const InputFact& fact : input_facts) {
            if (fact.column != nullptr)
                input_columns.emplace_back(fact.column);
        }
        QSqlQuery inputs = statement(insert_into("run_inputs", input_columns), recording);
        const DicomAttributes none;
        for (std::size_t k = 0; k < run.inputs.size(); ++k) {
            const auto& [role, path] = run.inputs[k];
            const InputFacts facts = facts_of(role, run.files);
            const DicomAttributes& dicom = facts.first != nullptr ? *facts.first : none;
            std::vector<QVariant> values{id, static_cast<int>(k), text(role), text(path), facts.files, facts.dicom_files};
            for (const InputFact& fact : input_facts) {
                if (fact.column != nullptr)
                    values.push_back(text(dicom.*fact.field));
            }
            insert(inputs, values);
        }

        QSqlQuery instances = statement(
            "INSERT INTO run_instances (run_id, ordinal, role, sop_instance_uid) VALUES (?, ?, ?, ?)", recording);
        for (std::size_t k = 0; k < run.files.size(); ++k) {
            const InputFile& file = run.files[k];
            if (file.source.dicom && !trimmed(file.source.attributes.sop_instance_uid).empty())
                insert(instances, {id, static_cast<int>(k), text(file.role),
                                   text(trimmed(file.source.attributes.sop_instance_uid))});
        }

        QSqlQuery counts = statement("INSERT INTO run_slice_counts (run_id, role, slices) VALUES (?, ?, ?)", recording);
        for (const auto& [role, slices] : run.slice_counts)
            insert(counts, {id, text(role), slices});

        QSqlQuery notices = statement("INSERT INTO run_notices (run_id, ordinal, notice) VALUES (?, ?, ?)", recording);
        for (std::size_t k = 0; k < run.notices.size(); ++k)
            insert(notices, {id, static_cast<int>(k), text(run.notices[k])});

        std::vector<std::string> plane_columns{"run_id", "ordinal", "name", "item", "unit", "window_level",
                                               "window_width", "pixels"};
        for (const PlaneFigure& figure : plane_figures)
            plane_columns.emplace_back(figure.column);
        QSqlQuery planes = statement(insert_into("run_planes", plane_columns), recording);
        QSqlQuery files = statement("INSERT INTO plane_files (run_id, plane, name, sha256) VALUES (?, ?, ?, ?)",
                                    recording);
        for (std::size_t k = 0; k < run.planes.size(); ++k) {
            const ResultPlane& plane = run.planes[k];
            const PlaneSummary& figures = plane.figures;
            std::vector<QVariant> values{id, static_cast<int>(k), text(plane.name), text(plane.item),
                                         plane.kind == ItemKind::GFactor ? "g" : "", plane.window.wl,
                                         plane.window.ww, figures.pixels};
            for (const PlaneFigure& figure : plane_figures)
                values.push_back(value_of(figures.*figure.value));
            insert(planes, values);
            for (const PlaneFile& file : plane.files)
                insert(files, {id, static_cast<int>(k), text(file.name), text(file.sha256)});
        }

        QSqlQuery rois = statement("INSERT INTO run_rois (run_id, number, first_row, first_column, height, width)"
                                   " VALUES (?, ?, ?, ?, ?, ?)",
                                   recording);
        std::vector<std::string> roi_columns{"run_id", "number", "plane", "n"};
        for (const RoiFigure& figure : snr::roi_figures)
            roi_columns.emplace_back(figure.key);
        QSqlQuery roi_figures = statement(insert_into("roi_figures", roi_columns), recording);
        for (std::size_t number = 1; number <= run.rois.size(); ++number) {
            const auto& [roi, stats] = run.rois[number - 1];
            insert(rois, {id, static_cast<int>(number), roi.row, roi.column, roi.height, roi.width});
            for (std::size_t k = 0; k < stats.size(); ++k) {
                std::vector<QVariant> values{id, static_cast<int>(number), static_cast<int>(k), stats[k].n};
                for (const RoiFigure& figure : snr::roi_figures)
                    values.push_back(value_of(stats[k].*figure.value));
                insert(roi_figures, values);
            }
        }
        commit(recording);
        return id;
    } catch (...) {
        roll_back();
        throw;
    }
}

}  // namespace snr::history
