// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "node/node_log.h"
#include "node/spool.h"

namespace snr::node {

struct ScpSettings {
    int port = 11112;
    std::string aet = "SNRMAP";
    std::vector<std::string> allow;  // calling AE titles let in; empty lets in any
    int associations = 8;            // at once
};

// The transfer syntaxes an image is taken in: those the reader measures, best first.
std::vector<std::string> accepted_transfer_syntaxes();

// The storage SCP: C-ECHO, and MR and Enhanced MR images into the spool, each answered as
// stored only once it is on disk (a failure to write is answered "out of resources").
class StorageScp {
public:
    StorageScp(ScpSettings settings, Spool& spool, NodeLog& log);
    ~StorageScp();

    // Listens until stop(), then waits for the open associations to end. Raises Error where
    // the port cannot be opened.
    void run();
    // From any thread: no new association is taken.
    void stop();

    struct Pool;  // the listening loop and its associations

private:
    std::unique_ptr<Pool> pool_;
};

}  // namespace snr::node
