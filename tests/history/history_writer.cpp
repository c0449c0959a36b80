// SPDX-License-Identifier: BSD-3-Clause
// A program that records runs, for the tests of recorders at once and of a recorder killed
// while it writes: history_writer URL COUNT (0: until killed). It prints "recorded ID" after
// each run and ends with 1 and the message when the history fails. history_writer URL read
// lists the runs read-only instead and prints "listed N".
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "history/history_database.h"
#include "tests/history/history_samples.h"

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3)
        return 2;
    try {
        if (std::string(argv[2]) == "read") {
            snr::history::HistoryDatabase reader(snr::history::parse_database_url(argv[1]), snr::history::Access::Read);
            std::printf("listed %zu\n", reader.runs({}).size());
            return 0;
        }
        snr::history::HistoryDatabase database(snr::history::parse_database_url(argv[1]));
        snr::RunRecord run = snr::test::sample_run("2025-04-01T09:00:00+09:00");
        // Many rows, so that a kill most likely falls inside a transaction.
        run.notices.assign(300, "notice");
        const long count = std::stol(argv[2]);
        for (long k = 0; count == 0 || k < count; ++k) {
            std::printf("recorded %lld\n", database.record(run));
            std::fflush(stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
