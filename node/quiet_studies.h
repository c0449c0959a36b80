// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "node/node_log.h"
#include "node/outbox.h"
#include "node/spool.h"

namespace snr::node {

// What the measurement of one batch of a study gave: the DICOM files of its results to send
// back, whether it was stopped (by a signal) before it ended, and what makes it final once its
// results are queued (a record of the runs made: written before, a kill in between would leave
// runs recorded whose results are never sent).
struct StudyResults {
    std::vector<std::string> dicom_files;
    bool stopped = false;
    std::function<void()> commit;
};

// The step from a quiet study's batch to its runs: `batch` holds SERIES/INSTANCE.dcm as they
// came, `earlier` (where it exists) the instances of the study's batches measured before.
using MeasureStudy = std::function<StudyResults(const std::string& batch, const std::string& earlier)>;

// How long the instances of a measured study are kept for its later batches to pair with.
inline constexpr std::chrono::hours measured_kept_for{24 * 7};

// Measures each study once it is quiet, and queues its results in the outbox where there is one;
// forgets the instances of studies measured longer ago than measured_kept_for.
class QuietStudies {
public:
    QuietStudies(Spool& spool, Spool::Clock::duration quiet, MeasureStudy measure, Outbox* outbox, NodeLog& log);

    // Until stop(); a batch being measured is finished first (or left for the next start where
    // the measurement was stopped).
    void run();
    void stop();

private:
    void measure(const std::string& batch);
    void forget_measured();

    Spool& spool_;
    Spool::Clock::duration quiet_;
    MeasureStudy measure_;
    Outbox* outbox_;
    NodeLog& log_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
};

}  // namespace snr::node
