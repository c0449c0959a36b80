// SPDX-License-Identifier: BSD-3-Clause
#include "consecutive/consective_method.h"
#include "widgets/window_main.h"

int main(int argc, char* argv[])
{
    const snr::WindowProgram program{
        .name = "snr_consecutive",
        .version = SNR_VERSION,
        .synopsis = "[NOPI_DIR [PI_DIR]]",
        .purpose = "Opens the window of the consecutive method with its folder lists in NOPI_DIR (no parallel\n"
                   "imaging) and PI_DIR (parallel imaging); without them, in the current folder.",
        .most_paths = 2,
    };
    return snr::run_window<snr::TForm1, snr::ConsecutiveState>(argc, argv, program, &snr::TForm1::openFolders);
}
