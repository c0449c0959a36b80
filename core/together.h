// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace snr {

// Runs `first` on this thread and `second` on another, and ends as running them in turn would:
// with the failure of `first`, else with that of `second`, else with both results. When `first`
// fails, `second` is told to stop through the flag it is given, and is waited for. Without a
// second thread to be had, they run in turn.
template <class First, class Second>
auto run_together(First first, Second second)
{
    std::atomic<bool> stop{false};
    const std::atomic<bool>& told = stop;
    std::future<decltype(second(told))> other;
    try {
        other = std::async(std::launch::async, [&] { return second(told); });
    } catch (const std::system_error&) {
        auto result = first();  // no thread to be had: in turn, then
        return std::pair{std::move(result), second(told)};
    }
    std::optional<decltype(first())> result;
    try {
        result.emplace(first());
    } catch (...) {
        stop = true;
        other.wait();
        throw;
    }
    return std::pair{std::move(*result), other.get()};
}

// Runs job(0) ... job(count - 1) on this thread and up to `most_threads` - 1 others, and
// ends with the failure of the lowest job that failed, if any. Fewer threads where no more
// are to be had.
template <class Job>
void side_by_side(std::size_t count, std::size_t most_threads, Job job)
{
    std::vector<std::exception_ptr> failures(count);
    std::atomic<std::size_t> next{0};
    const auto run_next = [&] {
        for (std::size_t k = next++; k < count; k = next++) {
            try {
                job(k);
            } catch (...) {
                failures[k] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> threads;
    try {
        while (threads.size() + 1 < std::min(most_threads, count))
            threads.emplace_back(run_next);
    } catch (const std::system_error&) {
        // fewer threads, then
    }
    run_next();
    for (auto& thread : threads)
        thread.join();
    for (const auto& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

}  // namespace snr
