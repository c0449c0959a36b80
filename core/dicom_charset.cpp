// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_charset.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace snr {

bool names_japanese_sets(std::string_view sets)
{
    for (const char* name : {"ISO 2022 IR 13", "ISO 2022 IR 87", "ISO 2022 IR 159"}) {
        if (sets.find(name) != std::string_view::npos)
            return true;
    }
    return false;
}

namespace {

// EUC-JP holds every character of the Japanese sets at once: JIS X 0208 as two bytes with their
// high bits set, JIS X 0212 after 0x8F, half-width katakana after 0x8E.
std::optional<std::string> to_euc_jp(std::string_view text)
{
    enum class G0 { Single, Jis0208, Jis0212 } g0 = G0::Single;
    std::string euc;
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte == 0x1B) {
            const std::string_view rest = text.substr(at + 1);
            const std::pair<std::string_view, G0> escapes[] = {
                {"(B", G0::Single}, {"(J", G0::Single}, {"$B", G0::Jis0208}, {"$@", G0::Jis0208},
                {"$(D", G0::Jis0212}, {")I", g0}};
            bool known = false;
            for (const auto& [sequence, set] : escapes) {
                if (rest.substr(0, sequence.size()) == sequence) {
                    g0 = set;
                    at += 1 + sequence.size();
                    known = true;
                    break;
                }
            }
            if (!known)
                return std::nullopt;
            continue;
        }
        // Delimiters of values and name components return to the single-byte set.
        if (byte == '\\' || byte == '^' || byte == '=' || byte == '\r' || byte == '\n') {
            g0 = G0::Single;
            euc += static_cast<char>(byte);
            ++at;
            continue;
        }
        if (byte >= 0xA1 && byte <= 0xDF) {  // half-width katakana in G1
            euc += '\x8E';
            euc += static_cast<char>(byte);
            ++at;
            continue;
        }
        if (byte >= 0x80)
            return std::nullopt;
        if (g0 == G0::Single) {
            euc += static_cast<char>(byte);
            ++at;
            continue;
        }
        if (at + 1 >= text.size())
            return std::nullopt;
        if (g0 == G0::Jis0212)
            euc += '\x8F';
        euc += static_cast<char>(byte | 0x80);
        euc += static_cast<char>(static_cast<unsigned char>(text[at + 1]) | 0x80);
        at += 2;
    }
    return euc;
}

}  // namespace

std::optional<std::string> japanese_to_utf8(std::string_view text)
{
    const std::optional<std::string> euc = to_euc_jp(text);
    if (!euc)
        return std::nullopt;
    iconv_t converter = ::iconv_open("UTF-8", "EUC-JP");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::vector<char> in(euc->begin(), euc->end());
    std::string out(4 * in.size() + 4, '\0');
    char* from = in.data();
    std::size_t left = in.size();
    char* to = out.data();
    std::size_t room = out.size();
    const std::size_t done = ::iconv(converter, &from, &left, &to, &room);
    ::iconv_close(converter);
    if (done == static_cast<std::size_t>(-1) || left != 0)
        return std::nullopt;
    out.resize(out.size() - room);
    return out;
}

}  // namespace snr
