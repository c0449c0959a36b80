// SPDX-License-Identifier: BSD-3-Clause
#include <csignal>
#include <iostream>
#include <malloc.h>
#include <unistd.h>

#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/snrmap_main.h"

int main(int argc, char** argv)
{
    // Fresh memory comes page by page, and on a virtual machine each page costs more than
    // what is done with it. A run is short: memory freed stays with the process for the next
    // use instead of going back to the system, and blocks below 32 MiB come from the heap
    // rather than each from a mapping of its own (zlib's state, a picture's rows, a parse).
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    snr::snrmap::install_interrupt_handlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = snr::snrmap::run_snrmap(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    if (code > 128) {
        // Cleaned up; now end as the signal would have, so a calling shell sees it.
        std::signal(code - 128, SIG_DFL);
        std::raise(code - 128);
    }
    return code;
}
