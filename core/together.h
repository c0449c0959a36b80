#pragma once

#include <atomic>
#include <future>
#include <optional>
#include <utility>

namespace snr {

// Runs `first` on this thread and `second` on another, and ends as running them in turn would:
// with the failure of `first`, else with that of `second`, else with both results. When `first`
// fails, `second` is told to stop through the flag it is given, and is waited for.
template <class First, class Second>
auto run_together(First first, Second second)
{
    std::atomic<bool> stop{false};
    auto other = std::async(std::launch::async, [&] { return second(static_cast<const std::atomic<bool>&>(stop)); });
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
