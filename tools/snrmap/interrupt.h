// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <exception>

namespace snr::snrmap {

// Ctrl-C or a kill ends a run at the next slice or file it touches, so that the staging
// folder is removed on the way out instead of being left behind.
class Interrupted : public std::exception {
public:
    explicit Interrupted(int signal) : signal_(signal) {}
    int signal() const { return signal_; }
    const char* what() const noexcept override { return "interrupted"; }

private:
    int signal_;
};

// SIGINT, SIGTERM and SIGHUP only note the signal; the run stops at check_interrupt().
void install_interrupt_handlers();
void request_interrupt(int signal);
void clear_interrupt();
void check_interrupt();  // raises Interrupted once a signal was noted
int noted_interrupt();   // the signal noted, 0 for none

}  // namespace snr::snrmap
