#include "core/errors.h"

#include "core/gcc_bugs.h"

namespace snr {

std::string IoError::message_for(int code)
{
    switch (code) {
    case io_code::file_not_found: return "ファイルが見つかりません";
    case io_code::path_not_found: return "ファイル名の指定が間違っています";
    case io_code::too_many_open_files: return "オープンしたファイルが多すぎます";
    case io_code::access_denied: return "ファイルへのアクセスが拒否されました";
    case io_code::read_past_end: return "ファイルの末尾以降を読み込みました";
    case io_code::disk_full: return "ディスクがいっぱいです";
    default: return "I/O エラー (" + std::to_string(code) + ")";
    }
}

IoError::IoError(int code) : Error(message_for(code)), code_(code) {}

SNR_GCC_BUG_105651_BEGIN
ConvertError::ConvertError(std::string_view text)
    : Error("'" + std::string(text) + "' は浮動小数点数ではありません")
{
}
SNR_GCC_BUG_105651_END

static const char* float_message(FloatFault fault)
{
    switch (fault) {
    case FloatFault::Invalid: return "不正な浮動小数点数演算命令";
    case FloatFault::DivideByZero: return "0 による浮動小数点数除算";
    case FloatFault::Overflow: return "浮動小数点数のオーバーフロー";
    }
    return "";
}

FloatError::FloatError(FloatFault fault) : Error(float_message(fault)), fault_(fault) {}

IntDivideByZero::IntDivideByZero() : Error("ゼロによる除算") {}

// Code point of the last UTF-8 character of text (0 when empty).
static char32_t last_code_point(std::string_view text)
{
    if (text.empty())
        return 0;
    std::size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    auto lead = static_cast<unsigned char>(text[start]);
    std::size_t length = text.size() - start;
    char32_t cp = lead;
    if (length == 2) cp = lead & 0x1F;
    else if (length == 3) cp = lead & 0x0F;
    else if (length >= 4) cp = lead & 0x07;
    for (std::size_t i = start + 1; i < text.size(); ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    return cp;
}

std::string error_box_text(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && last_code_point(text) > U'.')
        text += '.';
    return text;
}

}  // namespace snr
