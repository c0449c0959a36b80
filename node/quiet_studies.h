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
// back, and whether it was stopped (by a signal) before it ended.
struct StudyResults {
    std::vector<std::string> dicom_files;
    bool stopped = false;
};

// The step from a quiet study's folder to its runs: the folder holds SERIES/INSTANCE.dcm.
using MeasureStudy = std::function<StudyResults(const std::string& batch)>;

// Measures each study once it is quiet, and queues its results in the outbox where there is one.
class QuietStudies {
public:
    QuietStudies(Spool& spool, Spool::Clock::duration quiet, MeasureStudy measure, Outbox* outbox, NodeLog& log);

    // Until stop(); a batch being measured is finished first (or left for the next start where
    // the measurement was stopped).
    void run();
    void stop();

private:
    void measure(const std::string& batch);

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
