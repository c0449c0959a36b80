// SPDX-License-Identifier: BSD-3-Clause
// The DICM check on files of any content, against the rule read byte by byte: zeros are
// skipped, the letters D, I, C and M collected, any other byte ends the scan; the file is
// taken when exactly "DICM" was collected.

#include "fuzz/fuzz_support.h"
#include "submap/marker_scan.h"

using namespace snr;

static bool by_the_rule(const std::uint8_t* data, std::size_t size)
{
    std::string letters;
    for (std::size_t i = 0; i < size; ++i) {
        const char byte = static_cast<char>(data[i]);
        if (byte == 0)
            continue;
        if (byte != 'D' && byte != 'I' && byte != 'C' && byte != 'M')
            break;
        letters.push_back(byte);
    }
    return letters == "DICM";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Long runs of zeros cross the scan's read buffer; repeat short inputs to reach them.
    std::vector<std::uint8_t> bytes(data, data + size);
    if (!bytes.empty() && bytes[0] == 0 && size < 64)
        bytes.insert(bytes.begin(), 5000, 0);
    const std::string path = fuzz::scratch().file("image");
    fuzz::write_file(path, bytes);
    bool taken = false;
    try {
        taken = has_dicm_marker(path);
    } catch (const Error& error) {
        fuzz::fail(std::string("a readable file failed: ") + error.what());
    }
    fuzz::check(taken == by_the_rule(bytes.data(), bytes.size()), "marker decision differs from the rule");
    return 0;
}
