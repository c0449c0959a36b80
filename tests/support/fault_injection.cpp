// SPDX-License-Identifier: BSD-3-Clause
#include "tests/support/fault_injection.h"

#include <cerrno>
#include <mutex>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace snr::test {

namespace {

// One injection at a time; the calls are plain function pointers, so the plan is global.
struct Plan {
    Call call = Call::Stat;
    int error = 0;
    int successes = 0;
    int times = every_later_call;
    int failures = 0;
};
Plan plan;

// Calls come from several threads where a program flushes its files side by side.
std::mutex plan_mutex;

bool fails(Call call)
{
    const std::lock_guard lock(plan_mutex);
    if (call != plan.call)
        return false;
    if (plan.successes > 0) {
        --plan.successes;
        return false;
    }
    if (plan.times != every_later_call && plan.failures >= plan.times)
        return false;
    ++plan.failures;
    errno = plan.error;
    return true;
}

// The failing result of a call: 0 for a read or write told to return nothing, else -1.
template <class Result>
Result failed()
{
    return plan.error == 0 ? Result{0} : Result{-1};
}

const SystemCalls& real() { return real_system_calls(); }

const SystemCalls faulty{
    .stat = [](const char* path, struct stat* info) { return fails(Call::Stat) ? -1 : real().stat(path, info); },
    .fstat = [](int fd, struct stat* info) { return real().fstat(fd, info); },
    .open = [](const char* path, int flags, mode_t mode) {
        return fails(Call::Open) ? -1 : real().open(path, flags, mode);
    },
    .read = [](int fd, void* buffer, size_t size) {
        return fails(Call::Read) ? failed<ssize_t>() : real().read(fd, buffer, size);
    },
    .pread = [](int fd, void* buffer, size_t size, off_t offset) {
        return fails(Call::Pread) ? failed<ssize_t>() : real().pread(fd, buffer, size, offset);
    },
    .write = [](int fd, const void* buffer, size_t size) {
        return fails(Call::Write) ? failed<ssize_t>() : real().write(fd, buffer, size);
    },
    .fsync = [](int fd) { return fails(Call::Fsync) ? -1 : real().fsync(fd); },
    // The descriptor is closed all the same, as the system does when close reports an error.
    .close = [](int fd) {
        const int result = real().close(fd);
        return fails(Call::Close) ? -1 : result;
    },
    .rename = [](const char* from, const char* to) { return fails(Call::Rename) ? -1 : real().rename(from, to); },
    .exchange = [](const char* a, const char* b) { return fails(Call::Exchange) ? -1 : real().exchange(a, b); },
    .access = [](const char* path, int mode) { return fails(Call::Access) ? -1 : real().access(path, mode); },
    .mkdir = [](const char* path, mode_t mode) { return fails(Call::Mkdir) ? -1 : real().mkdir(path, mode); },
    .mkdtemp = [](char* pattern) { return fails(Call::Mkdtemp) ? nullptr : real().mkdtemp(pattern); },
    .link = [](const char* from, const char* to) { return fails(Call::Link) ? -1 : real().link(from, to); },
    .opendir = [](const char* path) { return fails(Call::Opendir) ? nullptr : real().opendir(path); },
};

}  // namespace

InjectFault::InjectFault(Call call, int error, int successes, int times)
{
    plan = Plan{call, error, successes, times, 0};
    previous_ = replace_system_calls(faulty);
}

InjectFault::~InjectFault() { replace_system_calls(previous_); }

int InjectFault::failures() const { return plan.failures; }

std::optional<std::string> on_small_file_system(const std::string& folder, const char* options,
                                                const std::function<std::string()>& body)
{
    int report[2];
    if (::pipe(report) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        std::string result = "no namespace";
        if (::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options) == 0)
            result = body();
        [[maybe_unused]] const auto written = ::write(report[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string result;
    char buffer[256];
    for (ssize_t got; (got = ::read(report[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (result == "no namespace")
        return std::nullopt;
    return result;
}

}  // namespace snr::test
