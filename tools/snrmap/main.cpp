#include <iostream>
#include <unistd.h>

#include "tools/snrmap/snrmap_main.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return snr::snrmap::run_snrmap(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
