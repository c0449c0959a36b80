// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "node/node_log.h"

namespace snr::node {

// An archive's storage SCP: AET@HOST:PORT.
struct Destination {
    std::string aet, host;
    int port = 0;
};

// Raises Error with the reason where the text is no destination.
Destination parse_destination(const std::string& text);

// Results waiting to be sent back, on disk so that they outlive the process: each batch a
// folder ROOT/N holding its DICOM files, made under a temporary name and renamed whole. A batch
// is sent in one association and removed once every file is stored; one that fails waits
// `first_wait`, then twice as long each time, at most `longest_wait`.
class Outbox {
public:
    using Clock = std::chrono::steady_clock;

    Outbox(std::string root, Destination to, std::string our_aet, NodeLog& log,
           Clock::duration first_wait = std::chrono::seconds(5), Clock::duration longest_wait = std::chrono::minutes(10));

    // Copies the files into a new batch. Raises IoError.
    void add(const std::vector<std::string>& files);

    // Sends the batches as they fall due until stop().
    void run();
    void stop();

    // Batches not yet delivered.
    std::size_t pending() const;

private:
    void send_due();
    bool send(const std::string& batch);

    std::string root_;
    Destination to_;
    std::string our_aet_;
    NodeLog& log_;
    Clock::duration first_wait_, longest_wait_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    struct Retry {
        Clock::time_point due;
        Clock::duration wait;
    };
    std::map<std::string, Retry> retries_;
    unsigned long long added_ = 0;
};

}  // namespace snr::node
