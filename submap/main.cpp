// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/window_main.h"
#include "submap/sub_map.h"

int main(int argc, char* argv[])
{
    const snr::WindowProgram program{
        .name = "snr_submap",
        .version = SNR_VERSION,
        .synopsis = "[FILE...]",
        .purpose = "Opens the window of the difference-map method; the files fill the image selectors in order\n"
                   "(no-PI image 1, no-PI image 2, PI image 1, PI image 2), each taken only with the DICM marker.",
        .most_paths = 4,
    };
    return snr::run_window<snr::TForm1, snr::SubmapState>(argc, argv, program, &snr::TForm1::openImages);
}
