// SPDX-License-Identifier: BSD-3-Clause
#include "submap/marker_scan.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/path.h"

namespace snr {

bool has_dicm_marker(const std::string& path)
{
    struct stat info {};
    auto file = open_regular_file(path, info);
    if (!file)
        return false;  // a FIFO or device is no image file

    constexpr std::string_view marker = "DICM";
    std::size_t collected = 0;  // letters so far, all matching the marker
    char buffer[4096];
    for (;;) {
        const ssize_t got = sys().read(file->get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            raise_io_error(errno, path);
        }
        if (got == 0)
            return collected == marker.size();
        for (ssize_t k = 0; k < got; ++k) {
            const char byte = buffer[k];
            if (byte == 0)
                continue;
            if (byte != 'D' && byte != 'I' && byte != 'C' && byte != 'M')
                return collected == marker.size();
            // A letter out of place or a fifth letter cannot be undone by what follows.
            if (collected == marker.size() || byte != marker[collected])
                return false;
            ++collected;
        }
    }
}

Selection check_selection(const std::string& path)
{
    if (!about_file(path, [&] { return has_dicm_marker(path); }))
        return {{}, file_name_part(path) + "はdicom画像ではありません!!"};
    SliceCheck check = about_file(path, [&] { return check_slice(path); });
    return {std::move(check.source), check.refusal.empty() ? "" : refusal_text(path, check.refusal)};
}

}  // namespace snr
