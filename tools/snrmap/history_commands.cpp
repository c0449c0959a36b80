// SPDX-License-Identifier: BSD-3-Clause
// snrmap-history.so: the history room's commands behind HistoryModule: recording, `snrmap
// history` and `snrmap trend`.
#include <openssl/evp.h>

#include "history/history_database.h"
#include "history/iso_time.h"
#include "tools/snrmap/history_module.h"
#include "tools/snrmap/history_output.h"
#include "tools/snrmap/module_application.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {

namespace {

// Qt loads its database drivers through an application object.
using Application = ModuleApplication<QCoreApplication>;

int list_runs(const CommandLine& line, std::ostream& out)
{
    history::RunFilter filter{line.scanner, line.coil, {}};
    if (!line.since.empty())
        filter.since = history::utc_time(line.since).value_or("");
    out << runs_text(history::open_history(line.db).runs(filter), line.format) << std::flush;
    return exit_success;
}

int follow_trend(const CommandLine& line, history::Trend& trend, std::ostream& out)
{
    history::TrendQuery query;
    query.item = line.item;
    query.roi = line.trend_roi;
    query.figure = line.figure;
    query.baseline = line.baseline;
    query.tolerance = line.tolerance;
    query.filter = {line.scanner, line.coil, {}};
    trend = history::open_history(line.db).trend(query);
    out << trend_text(trend, line.format) << std::flush;
    return history::newest_beyond(trend) ? exit_beyond : exit_success;
}

int command(const CommandLine& line, history::Trend& trend, std::ostream& out, std::ostream& err)
{
    try {
        const Application application;
        return line.action == Action::Trend ? follow_trend(line, trend, out) : list_runs(line, out);
    } catch (const std::exception& error) {
        err << "snrmap: " << error.what() << "\n" << std::flush;
    }
    return exit_failure;
}

int record(const RunRecord& run, const CommandLine& line, std::ostream& out, std::ostream& err)
{
    try {
        const Application application;
        history::HistoryDatabase database = history::open_history(line.db);
        const long long id = database.record(run);
        out << "run " << id << " recorded in " << database.location().shown << "\n" << std::flush;
        return exit_success;
    } catch (const std::exception& error) {
        err << "snrmap: " << error.what() << "\n" << std::flush;
    }
    return exit_failure;
}

std::string sha256(const std::vector<std::string_view>& parts)
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool done = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    for (std::string_view part : parts)
        done = done && EVP_DigestUpdate(context, part.data(), part.size()) == 1;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    done = done && EVP_DigestFinal_ex(context, digest, &length) == 1;
    EVP_MD_CTX_free(context);
    if (!done)
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned k = 0; k < length; ++k) {
        text += hex[digest[k] >> 4];
        text += hex[digest[k] & 0xF];
    }
    return text;
}

}  // namespace

}  // namespace snr::snrmap

extern "C" const snr::ModuleEntry* snr_maps_module()
{
    static const snr::snrmap::HistoryModule functions{snr::snrmap::command, snr::snrmap::record, snr::snrmap::sha256};
    static const snr::ModuleEntry entry{SNR_VERSION, &functions};
    return &entry;
}
