// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace snr::node {

// One line per association, study and run, from any thread; never a patient's name.
class NodeLog {
public:
    explicit NodeLog(std::function<void(const std::string&)> sink) : sink_(std::move(sink)) {}
    void line(const std::string& text);

private:
    std::mutex mutex_;
    std::function<void(const std::string&)> sink_;
};

}  // namespace snr::node
