// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/interrupt.h"

#include <csignal>
#include <initializer_list>

namespace snr::snrmap {

namespace {
volatile std::sig_atomic_t noted_signal = 0;

extern "C" void note_signal(int signal) { noted_signal = signal; }
}  // namespace

void install_interrupt_handlers()
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, note_signal);
}

void request_interrupt(int signal) { noted_signal = signal; }

void clear_interrupt() { noted_signal = 0; }

int noted_interrupt() { return noted_signal; }

void check_interrupt()
{
    if (noted_signal != 0)
        throw Interrupted(noted_signal);
}

}  // namespace snr::snrmap
