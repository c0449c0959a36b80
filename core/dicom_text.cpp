// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/utf8.h"

namespace snr {

std::string trimmed(std::string text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\0'; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    return std::string(first, text.end());
}

std::string shown(const std::string& text)
{
    const std::string whole = trimmed(text);
    std::size_t end = 0;
    for (int characters = 0; characters < 64 && end < whole.size(); ++characters)
        end += std::max<std::size_t>(utf8_at(whole, end).length, 1);
    return visible_text(std::string_view(whole).substr(0, end));
}

std::optional<ext::real> decimal(std::string text)
{
    text = trimmed(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.erase(0, 1);
    ext::real value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string uid_of(unsigned __int128 number)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(number % 10)));
        number /= 10;
    } while (number != 0);
    return "2.25." + digits;
}

}  // namespace snr
