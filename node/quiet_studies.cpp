// SPDX-License-Identifier: BSD-3-Clause
#include "node/quiet_studies.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/errors.h"

namespace snr::node {

namespace fs = std::filesystem;

QuietStudies::QuietStudies(Spool& spool, Spool::Clock::duration quiet, MeasureStudy measure, Outbox* outbox,
                           NodeLog& log)
    : spool_(spool), quiet_(quiet), measure_(std::move(measure)), outbox_(outbox), log_(log)
{
}

void QuietStudies::run()
{
    // A tenth of the timeout: a study waits at most that long past it; asking costs a look at a map.
    const auto step = std::clamp<Spool::Clock::duration>(quiet_ / 10, std::chrono::milliseconds(20),
                                                          std::chrono::seconds(1));
    forget_measured();
    std::unique_lock lock(mutex_);
    while (!stopped_) {
        lock.unlock();
        for (const std::string& batch : spool_.take_quiet(quiet_)) {
            measure(batch);
            forget_measured();
            if (const std::lock_guard stop(mutex_); stopped_)
                break;
        }
        lock.lock();
        wake_.wait_for(lock, step);
    }
}

void QuietStudies::stop()
{
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    wake_.notify_all();
}

void QuietStudies::forget_measured()
{
    if (const std::size_t forgotten = spool_.forget_measured(measured_kept_for); forgotten > 0)
        log_.line("forgot the instances of " + std::to_string(forgotten) + " studies measured " +
                  std::to_string(measured_kept_for.count() / 24) + " days ago or earlier");
}

void QuietStudies::measure(const std::string& batch)
{
    const std::string study = batch_study(batch);
    std::size_t series = 0, instances = 0;
    std::error_code error;
    for (const auto& folder : fs::directory_iterator(batch, error)) {
        ++series;
        for (const auto& file : fs::directory_iterator(folder.path(), error)) {
            (void)file;
            ++instances;
        }
    }
    log_.line("study " + study + ": quiet, " + std::to_string(instances) + " instances in " + std::to_string(series) +
              " series");
    // The outermost handler of a study: one that fails is set aside and the node goes on.
    try {
        const StudyResults results = measure_(batch, spool_.measured_folder(batch));
        if (results.stopped) {
            log_.line("study " + study + ": stopped, measured again at the next start");
            return;
        }
        if (outbox_ != nullptr)
            outbox_->add(results.dicom_files);
        if (results.commit)
            results.commit();
        spool_.finish(batch);
        log_.line("study " + study + ": done, " + std::to_string(results.dicom_files.size()) + " results" +
                  (outbox_ != nullptr ? " to send" : ""));
    } catch (const std::exception& failure) {
        log_.line("study " + study + ": failed: " + failure.what());
        spool_.set_aside(batch);
    }
}

}  // namespace snr::node
