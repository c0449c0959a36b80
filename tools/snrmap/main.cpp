#include <csignal>
#include <iostream>
#include <unistd.h>

#include "tools/snrmap/interrupt.h"
#include "tools/snrmap/snrmap_main.h"

int main(int argc, char** argv)
{
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
