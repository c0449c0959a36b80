// SPDX-License-Identifier: BSD-3-Clause
// snrmap-report.so: the report room's functions behind ReportModule.
#include <QGuiApplication>
#include <exception>

#include "report/dicom_documents.h"
#include "report/parametric_maps.h"
#include "report/run_report.h"
#include "record/summary_reading.h"
#include "report/trend_report.h"
#include "tools/snrmap/module_application.h"
#include "tools/snrmap/report_module.h"

namespace snr::snrmap {

namespace {

template <class Make>
std::string failure_of(Make make)
{
    try {
        make();
        return {};
    } catch (const std::exception& error) {
        return error.what();
    }
}

void assign(std::string& bytes, const QByteArray& from)
{
    bytes.assign(from.constData(), static_cast<std::size_t>(from.size()));
}

std::string report_pdf(const RunRecord& run, std::string& pdf)
{
    return failure_of([&] {
        const ModuleApplication<QGuiApplication> application;
        assign(pdf, report::report_pdf(run));
    });
}

std::string read_summary(const std::string& json, RunRecord& run)
{
    return failure_of(
        [&] { run = snr::read_summary(json); });
}

std::string parametric_maps(const RunRecord& run, report::ParametricMaps& maps)
{
    return failure_of([&] { maps = report::parametric_maps(run, SNR_VERSION); });
}

std::string trend_pdf(const history::Trend& trend, std::string& pdf)
{
    return failure_of([&] {
        const ModuleApplication<QGuiApplication> application;
        assign(pdf, report::trend_pdf(trend));
    });
}

std::string dicom_documents(const RunRecord& run, const std::string& pdf, std::vector<report::MapFile>& files)
{
    return failure_of([&] { files = report::dicom_documents(run, pdf, SNR_VERSION); });
}

const ReportModule functions{report_pdf, read_summary, parametric_maps, dicom_documents, trend_pdf};

}  // namespace

}  // namespace snr::snrmap

extern "C" const snr::ModuleEntry* snr_maps_module()
{
    static const snr::ModuleEntry entry{SNR_VERSION, &snr::snrmap::functions};
    return &entry;
}
