// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace snr::node {

// Where an instance goes: its study, series and own UID.
struct InstanceKey {
    std::string study, series, instance;
};

// Whether a text can name a folder or file of the spool: a UID, digits and dots.
bool spool_name(std::string_view uid);

// The study UID of a batch (ROOT/measuring/STUDY_N).
std::string batch_study(const std::string& batch);

// Received instances wait under ROOT/incoming/STUDY/SERIES/INSTANCE.dcm until their study is
// quiet; the study is then moved whole to ROOT/measuring/STUDY_N and measured there. Its
// instances are then kept in ROOT/measured/STUDY/SERIES, where instances that arrive later, a
// new batch of the study, find the series measured before them (a no-PI series for a PI one).
// A study found in incoming at the start counts as arrived then; one left in measuring is taken
// again first.
class Spool {
public:
    using Clock = std::chrono::steady_clock;

    explicit Spool(std::string root);  // raises IoError

    // Writes and flushes the instance under a temporary name and renames it into place, so a
    // failure leaves nothing. Raises IoError.
    void store(const InstanceKey& key, std::string_view bytes);

    // The batches whose study received nothing for `quiet`, each moved to measuring; first
    // those a stopped process left there.
    std::vector<std::string> take_quiet(Clock::duration quiet, Clock::time_point now = Clock::now());

    // A batch measured: its instances join the study's in ROOT/measured (where one cannot be
    // moved, it is removed: it was measured), and the batch is removed.
    void finish(const std::string& batch);
    // The folder of a batch's study in ROOT/measured; there may be none yet.
    std::string measured_folder(const std::string& batch) const;
    // Removes the studies in ROOT/measured that received nothing for `age`; the number removed.
    std::size_t forget_measured(std::chrono::system_clock::duration age,
                                std::chrono::system_clock::time_point now = std::chrono::system_clock::now());
    // A batch whose measurement failed: kept in ROOT/failed for a look by hand.
    void set_aside(const std::string& batch);

    // Studies still waiting in incoming.
    std::size_t waiting() const;

    const std::string& root() const { return root_; }

private:
    std::string root_, incoming_, measuring_, measured_, failed_, temporary_;
    mutable std::mutex mutex_;
    std::map<std::string, Clock::time_point> last_arrival_;
    std::vector<std::string> left_over_;
    unsigned long long batches_ = 0;
    std::atomic<unsigned long long> stores_ = 0;
};

}  // namespace snr::node
