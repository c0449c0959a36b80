// SPDX-License-Identifier: BSD-3-Clause
// snrmap_extras.so: the report and the DICOM maps, behind the functions of Extras.
#include <QGuiApplication>
#include <cstdlib>
#include <exception>

#include "report/parametric_maps.h"
#include "report/run_report.h"
#include "report/summary_reading.h"
#include "tools/snrmap/extras.h"

namespace snr::snrmap {

namespace {

// Qt's own notices (a missing runtime folder, a font substituted) say nothing a user of
// snrmap could act on; its fatal errors still end the process through Qt.
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// The application that the fonts need, on the offscreen platform: a report needs no display.
// It lives while one report is drawn; left to the end of the process, the fonts it holds
// would be let go without their cleanup.
template <class Draw>
void with_gui(Draw draw)
{
    if (QCoreApplication::instance() != nullptr) {
        draw();
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(quiet);
    int argc = 1;
    char name[] = "snrmap";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    draw();
}

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

std::string report_pdf(const RunRecord& run, std::string& pdf)
{
    return failure_of([&] {
        with_gui([&] {
            const QByteArray bytes = report::report_pdf(run);
            pdf.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        });
    });
}

std::string read_summary(const std::string& json, RunRecord& run)
{
    return failure_of(
        [&] { run = report::read_summary(QByteArray(json.data(), static_cast<qsizetype>(json.size()))); });
}

std::string parametric_maps(const RunRecord& run, report::ParametricMaps& maps)
{
    return failure_of([&] { maps = report::parametric_maps(run, SNRMAP_VERSION); });
}

const Extras functions{SNRMAP_VERSION, report_pdf, read_summary, parametric_maps};

}  // namespace

}  // namespace snr::snrmap

extern "C" __attribute__((visibility("default"))) const snr::snrmap::Extras* snrmap_extras()
{
    return &snr::snrmap::functions;
}
