// SPDX-License-Identifier: BSD-3-Clause
#include "node/spool.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/time.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/path.h"

namespace snr::node {

namespace fs = std::filesystem;

namespace {

void make_folder(const std::string& path)
{
    if (sys().mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        raise_io_error(errno, path);
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace

bool spool_name(std::string_view uid)
{
    if (uid.empty() || uid.size() > 64 || uid.front() == '.')
        return false;
    for (const char c : uid) {
        if ((c < '0' || c > '9') && c != '.')
            return false;
    }
    return true;
}

std::string batch_study(const std::string& batch)
{
    const std::string name = file_name_part(batch);
    return name.substr(0, name.find('_'));
}

Spool::Spool(std::string root)
    : root_(std::move(root)),
      incoming_(join_path(root_, "incoming")),
      measuring_(join_path(root_, "measuring")),
      measured_(join_path(root_, "measured")),
      failed_(join_path(root_, "failed")),
      temporary_(join_path(root_, "tmp"))
{
    for (const std::string& folder : {root_, incoming_, measuring_, measured_, failed_, temporary_})
        make_folder(folder);
    // Whatever a stopped process was writing was never answered as stored.
    for (const std::string& name : entries(temporary_))
        ::unlink(join_path(temporary_, name).c_str());
    for (const std::string& name : entries(measuring_))
        left_over_.push_back(join_path(measuring_, name));
    const auto now = Clock::now();
    for (const std::string& name : entries(incoming_))
        last_arrival_[name] = now;
}

void Spool::store(const InstanceKey& key, std::string_view bytes)
{
    // Numbered: the same instance may come on two associations at once.
    const std::string name = key.study + "_" + key.series + "_" + key.instance + "." + std::to_string(stores_++) + ".dcm";
    const std::string written = join_path(temporary_, name);
    PendingFile(written, bytes).commit();
    const std::lock_guard lock(mutex_);
    const std::string study = join_path(incoming_, key.study);
    const std::string series = join_path(study, key.series);
    make_folder(study);
    make_folder(series);
    const std::string target = join_path(series, key.instance + ".dcm");
    if (sys().rename(written.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(written.c_str());
        raise_io_error(error, target);
    }
    flush_to_disk(series);
    last_arrival_[key.study] = Clock::now();
}

std::vector<std::string> Spool::take_quiet(Clock::duration quiet, Clock::time_point now)
{
    const std::lock_guard lock(mutex_);
    std::vector<std::string> batches;
    batches.swap(left_over_);
    for (auto study = last_arrival_.begin(); study != last_arrival_.end();) {
        if (now - study->second < quiet) {
            ++study;
            continue;
        }
        const auto stamp = std::chrono::system_clock::now().time_since_epoch().count();
        const std::string batch =
            join_path(measuring_, study->first + "_" + std::to_string(stamp) + "-" + std::to_string(batches_++));
        const std::string from = join_path(incoming_, study->first);
        if (sys().rename(from.c_str(), batch.c_str()) != 0)
            raise_io_error(errno, from);
        flush_to_disk(measuring_);
        batches.push_back(batch);
        study = last_arrival_.erase(study);
    }
    return batches;
}

void Spool::finish(const std::string& batch)
{
    const std::string study = measured_folder(batch);
    try {
        make_folder(study);
        for (const std::string& series : entries(batch)) {
            const std::string into = join_path(study, series);
            make_folder(into);
            for (const std::string& instance : entries(join_path(batch, series))) {
                const std::string from = join_path(join_path(batch, series), instance);
                if (sys().rename(from.c_str(), join_path(into, instance).c_str()) != 0)
                    raise_io_error(errno, from);
            }
            flush_to_disk(into);
        }
        flush_to_disk(study);
        // Instances added to series already there leave the study folder's time as it was: it
        // is set to the time of its last batch, which forget_measured goes by.
        ::utimes(study.c_str(), nullptr);
    } catch (const IoError&) {
        // A later batch then pairs without these; they were measured all the same.
    }
    std::error_code ignored;
    fs::remove_all(batch, ignored);
}

std::string Spool::measured_folder(const std::string& batch) const { return join_path(measured_, batch_study(batch)); }

std::size_t Spool::forget_measured(std::chrono::system_clock::duration age, std::chrono::system_clock::time_point now)
{
    std::size_t removed = 0;
    for (const std::string& name : entries(measured_)) {
        const std::string study = join_path(measured_, name);
        struct stat info {};
        if (::stat(study.c_str(), &info) != 0)
            continue;
        const auto changed = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
        if (now - changed < age)
            continue;
        std::error_code ignored;
        fs::remove_all(study, ignored);
        ++removed;
    }
    return removed;
}

void Spool::set_aside(const std::string& batch)
{
    const std::string to = join_path(failed_, file_name_part(batch));
    if (sys().rename(batch.c_str(), to.c_str()) != 0)
        finish(batch);
}

std::size_t Spool::waiting() const
{
    const std::lock_guard lock(mutex_);
    return last_arrival_.size();
}

}  // namespace snr::node
