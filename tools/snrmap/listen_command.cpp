// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/listen_command.h"

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "core/dicom_image.h"
#include "core/errors.h"
#include "core/path.h"
#include "node/outbox.h"
#include "node/quiet_studies.h"
#include "node/spool.h"
#include "node/storage_scp.h"
#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/snrmap_main.h"
#include "tools/snrmap/study_runs.h"

namespace snr::snrmap {

int listen_command(const CommandLine& line, const HistoryModule* history, std::ostream& err)
{
    const StudySettings settings{line, line.rules.empty() ? std::vector<scan::Rule>{} : scan::read_rules(line.rules),
                                 history};
    // The reader names its dictionary in the environment: done here, before any thread reads it.
    prepare_dicom_reading();
    // Debian's DCMTK leaves Nagle's algorithm on unless told: each small answer then waits for
    // the peer's delayed acknowledgement, some 40 ms an instance.
    ::setenv("TCP_NODELAY", "1", 0);
    node::NodeLog log([&err](const std::string& text) { err << "snrmap listen: " << text << "\n" << std::flush; });
    node::Spool spool(line.spool);
    std::optional<node::Outbox> outbox;
    if (!line.send_to.empty()) {
        node::Destination to;
        try {
            to = node::parse_destination(line.send_to);
        } catch (const Error& error) {
            throw Error(std::string("--send-to ") + error.what());
        }
        outbox.emplace(join_path(line.spool, "outbox"), to, line.aet, log);
    }
    node::StorageScp scp({line.port, line.aet, line.allow, 8}, spool, log);
    node::QuietStudies studies(
        spool, std::chrono::seconds(line.study_timeout),
        [&](const std::string& batch, const std::string& earlier) {
            return measure_study(batch, earlier, settings, log);
        },
        outbox ? &*outbox : nullptr, log);

    // Each thread's outermost handler keeps its failure for the end; any failure stops all.
    std::mutex failed_mutex;
    std::exception_ptr failed;
    std::atomic<bool> ending = false;
    auto stop_all = [&] {
        scp.stop();
        studies.stop();
        if (outbox)
            outbox->stop();
    };
    auto guarded = [&](auto body) {
        return [&, body] {
            try {
                body();
            } catch (...) {
                const std::lock_guard lock(failed_mutex);
                if (!failed)
                    failed = std::current_exception();
                stop_all();
            }
        };
    };
    log.line("listening on port " + std::to_string(line.port) + " as " + line.aet + "; studies measured after " +
             std::to_string(line.study_timeout) + " s of quiet" +
             (line.send_to.empty() ? "" : "; results sent to " + line.send_to));
    // The measurements on this thread: the report module's Qt belongs to the program's main thread.
    std::thread receiving(guarded([&] { scp.run(); }));
    std::thread sending;
    if (outbox)
        sending = std::thread(guarded([&] { outbox->run(); }));
    std::thread watching([&] {
        while (!ending && noted_interrupt() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop_all();
    });
    guarded([&] { studies.run(); })();
    stop_all();
    ending = true;
    watching.join();
    receiving.join();
    if (sending.joinable())
        sending.join();
    if (failed)
        std::rethrow_exception(failed);
    log.line("stopped; " + std::to_string(spool.waiting()) + " studies waiting" +
             (outbox ? ", " + std::to_string(outbox->pending()) + " results batches to send" : ""));
    return exit_success;
}

}  // namespace snr::snrmap
