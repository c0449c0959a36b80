// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <clocale>

#include "core/errors.h"
#include "core/extended.h"
#include "core/text_number.h"

namespace snr {
namespace {

TEST(TextToFloat, AcceptsTheDecimalGrammar)
{
    EXPECT_EQ(text_to_float("60"), 60.0L);
    EXPECT_EQ(text_to_float("  -0.25  "), -0.25L);
    EXPECT_EQ(text_to_float("+5."), 5.0L);
    EXPECT_EQ(text_to_float(".5"), 0.5L);
    EXPECT_EQ(text_to_float("1e3"), 1000.0L);
    EXPECT_EQ(text_to_float("2.5E-1"), 0.25L);
    EXPECT_EQ(text_to_float("1e+2"), 100.0L);
    // Extended precision: 0.6 keeps 64 mantissa bits, so 100 x 0.6 rounds to exactly 60.
    EXPECT_EQ(text_to_float("0.6"), 0.6L);
    EXPECT_EQ(ext::store(100 * text_to_float("0.6")), 60.0);
}

TEST(TextToFloat, RefusesEverythingElseWithTheTextInTheMessage)
{
    for (const char* text : {"", " ", "1,5", "1e", "e3", "--1", "1 2", "inf", "nan", "0x10", "+", ".", "1.2.3",
                             "１２", "1e+", "\t1", "1d"}) {
        try {
            text_to_float(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const ConvertError& error) {
            EXPECT_EQ(error.what(), "'" + std::string(text) + "' は浮動小数点数ではありません");
        }
    }
}

TEST(TextToFloat, BeyondTheRangesNeverBecomesAnInfinity)
{
    EXPECT_THROW(text_to_float("1e5000"), ConvertError);  // beyond extended
    const long double big = text_to_float("1e400");         // fits extended, not double
    try {
        ext::store(big);
        ADD_FAILURE();
    } catch (const FloatError& error) {
        EXPECT_STREQ(error.what(), "浮動小数点数のオーバーフロー");
    }
    EXPECT_EQ(text_to_float(std::string(400, '9') + "e-398"), text_to_float("9.99999999999999999999e1"));
}

TEST(TextToFloat, IgnoresTheUsersLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no German locale here";
    EXPECT_EQ(text_to_float("1.5"), 1.5L);
    EXPECT_THROW(text_to_float("1,5"), ConvertError);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ErrorBox, AppendsAFullStopAfterCharactersBeyondIt)
{
    EXPECT_EQ(error_box_text("ゼロによる除算"), "ゼロによる除算.");
    EXPECT_EQ(error_box_text("I/O エラー (131)"), "I/O エラー (131)");
    EXPECT_EQ(error_box_text("a."), "a.");
    EXPECT_EQ(error_box_text("a-"), "a-");
    EXPECT_EQ(error_box_text("a0"), "a0.");
    EXPECT_EQ(error_box_text(""), "");
    // A name of any bytes at the end: the last character is what counts, or the last byte.
    EXPECT_EQ(error_box_text("'\xf0\x9f\x98\x80'"), "'\xf0\x9f\x98\x80'");
    EXPECT_EQ(error_box_text("a\xf0\x9f\x98\x80"), "a\xf0\x9f\x98\x80.");
    EXPECT_EQ(error_box_text("a\xe3\x83"), "a\xe3\x83.");
}

TEST(Errors, CarryTheirMessages)
{
    EXPECT_STREQ(IoError(2).what(), "ファイルが見つかりません");
    EXPECT_STREQ(IoError(3).what(), "ファイル名の指定が間違っています");
    EXPECT_STREQ(IoError(4).what(), "オープンしたファイルが多すぎます");
    EXPECT_STREQ(IoError(5).what(), "ファイルへのアクセスが拒否されました");
    EXPECT_STREQ(IoError(100).what(), "ファイルの末尾以降を読み込みました");
    EXPECT_STREQ(IoError(101).what(), "ディスクがいっぱいです");
    EXPECT_STREQ(IoError(131).what(), "I/O エラー (131)");
    EXPECT_STREQ(FloatError(FloatFault::Invalid).what(), "不正な浮動小数点数演算命令");
    EXPECT_STREQ(FloatError(FloatFault::DivideByZero).what(), "0 による浮動小数点数除算");
    EXPECT_STREQ(IntDivideByZero().what(), "ゼロによる除算");
}

TEST(Extended, TrapsInsteadOfProducingNanOrInfinity)
{
    EXPECT_THROW(ext::div(0, 0), FloatError);
    try {
        ext::div(1, 0);
    } catch (const FloatError& error) {
        EXPECT_EQ(error.fault(), FloatFault::DivideByZero);
    }
    try {
        ext::div(0, 0);
    } catch (const FloatError& error) {
        EXPECT_EQ(error.fault(), FloatFault::Invalid);
    }
    EXPECT_THROW(ext::sqrt(-1e-300L), FloatError);
    EXPECT_EQ(ext::sqrt(-0.0L), 0.0L);
    EXPECT_THROW(ext::store(1e309L), FloatError);
    EXPECT_THROW(ext::int_div(5, 0), IntDivideByZero);
    EXPECT_EQ(ext::int_div(-7, 2), -3);
}

}  // namespace
}  // namespace snr
