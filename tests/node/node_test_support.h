// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace snr::test {

// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
int free_loopback_port();

// Asks `done` every 20 ms until it says yes or `limit` has passed; its last answer.
bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Whether something takes a TCP connection on 127.0.0.1 at this port.
bool accepting(int port);

// Whether a TCP connection to this local port is established.
bool connected_to(int port);

// Stores MR images (explicit VR little endian) in one association to SNRMAP at this port on
// 127.0.0.1; false where the association is refused or an image is not stored.
bool store_files(int port, const std::vector<std::string>& files);

// The regular files under a folder, at any depth.
std::vector<std::string> files_under(const std::string& folder);

// `snrmap listen` as a process of its own, its log in a file; killed at the end of a test that
// did not stop it.
class NodeProcess {
public:
    NodeProcess(const std::vector<std::string>& options, const std::string& log, int port);
    ~NodeProcess();
    NodeProcess(const NodeProcess&) = delete;
    NodeProcess& operator=(const NodeProcess&) = delete;

    // SIGTERM; the exit status, or -1 where it did not end within 10 s.
    int stop();
    std::string log() const;

private:
    pid_t pid_ = -1;
    std::string log_;
};

}  // namespace snr::test
