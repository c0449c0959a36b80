// SPDX-License-Identifier: BSD-3-Clause
#include "core/errors.h"

#include "core/gcc_bugs.h"
#include "core/utf8.h"

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

std::string error_box_text(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && last_code_point(text) > U'.')
        text += '.';
    return text;
}

}  // namespace snr
