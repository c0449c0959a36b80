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
#include "tools/snrmap/statement_cancel.h"

namespace snr::snrmap {

namespace {

// Qt loads its database drivers through an application object.
using Application = ModuleApplication<QCoreApplication>;

// A signal from now on cancels what the database waits for; one that came while it connected
// ends the command.
void watch(history::HistoryDatabase& database, StatementCancel& cancel)
{
    cancel.watch(database.native_handle());
    if (cancel.signal() != 0)
        throw Error("history database " + database.location().shown + ": interrupted");
}

int list_runs(const CommandLine& line, StatementCancel& cancel, std::ostream& out)
{
    history::RunFilter filter{line.scanner, line.coil, {}};
    if (!line.since.empty())
        filter.since = history::utc_time(line.since).value_or("");
    history::HistoryDatabase database = history::open_history(line.db, history::Access::Read);
    watch(database, cancel);
    out << runs_text(database.runs(filter), line.format) << std::flush;
    return exit_success;
}

int follow_trend(const CommandLine& line, StatementCancel& cancel, history::Trend& trend, std::ostream& out)
{
    history::TrendQuery query;
    query.item = line.item;
    query.roi = line.trend_roi;
    query.figure = line.figure;
    query.baseline = line.baseline;
    query.tolerance = line.tolerance;
    query.filter = {line.scanner, line.coil, {}};
    history::HistoryDatabase database = history::open_history(line.db, history::Access::Read);
    watch(database, cancel);
    trend = database.trend(query);
    out << trend_text(trend, line.format) << std::flush;
    return history::newest_beyond(trend) ? exit_beyond : exit_success;
}

// A failure, and the status of a command that a signal ended: as the signal would have.
int failed(const std::exception& error, const StatementCancel& cancel, std::ostream& err)
{
    const std::string_view text = error.what();
    const bool told = cancel.signal() == 0 || text.ends_with("interrupted");
    err << "snrmap: " << text << (told ? "" : " (interrupted)") << "\n" << std::flush;
    return cancel.signal() != 0 ? 128 + cancel.signal() : exit_failure;
}

int command(const CommandLine& line, history::Trend& trend, std::ostream& out, std::ostream& err)
{
    StatementCancel cancel;
    try {
        const Application application;
        const int status = line.action == Action::Trend ? follow_trend(line, cancel, trend, out)
                                                        : list_runs(line, cancel, out);
        return cancel.signal() != 0 ? 128 + cancel.signal() : status;
    } catch (const std::exception& error) {
        return failed(error, cancel, err);
    }
}

int record(const RunRecord& run, const CommandLine& line, std::ostream& out, std::ostream& err)
{
    StatementCancel cancel;
    try {
        const Application application;
        history::HistoryDatabase database = history::open_history(line.db);
        watch(database, cancel);
        const long long id = database.record(run);
        out << "run " << id << " recorded in " << database.location().shown << "\n" << std::flush;
        return cancel.signal() != 0 ? 128 + cancel.signal() : exit_success;
    } catch (const std::exception& error) {
        return failed(error, cancel, err);
    }
}

int recorded_runs(const std::vector<history::RunInstances>& runs, const CommandLine& line, std::vector<long long>& ids,
                  std::ostream& err)
{
    StatementCancel cancel;
    try {
        const Application application;
        history::HistoryDatabase database = history::open_history(line.db);
        watch(database, cancel);
        ids.clear();
        for (const history::RunInstances& run : runs)
            ids.push_back(database.recorded_run(run));
        return cancel.signal() != 0 ? 128 + cancel.signal() : exit_success;
    } catch (const std::exception& error) {
        return failed(error, cancel, err);
    }
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
    static const snr::snrmap::HistoryModule functions{snr::snrmap::command, snr::snrmap::record, snr::snrmap::recorded_runs,
                                                        snr::snrmap::sha256};
    static const snr::ModuleEntry entry{SNR_VERSION, &functions};
    return &entry;
}
