#pragma once

#include <atomic>
#include <future>
#include <optional>
#include <system_error>
#include <utility>

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

}  // namespace snr
