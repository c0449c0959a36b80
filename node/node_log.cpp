// SPDX-License-Identifier: BSD-3-Clause
#include "node/node_log.h"

namespace snr::node {

void NodeLog::line(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    sink_(text);
}

}  // namespace snr::node
