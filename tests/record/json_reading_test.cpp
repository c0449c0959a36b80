// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include "record/json_reading.h"
#include "record/json_text.h"

namespace snr {
namespace {

std::string refusal(std::string_view text)
{
    try {
        parse_json(text);
    } catch (const JsonSyntaxError& error) {
        return std::to_string(error.offset) + ": " + error.reason;
    }
    return "read";
}

TEST(JsonReading, TheBytesOfAnyStringComeBackAsWritten)
{
    std::string every_byte;
    for (int b = 0; b < 256; ++b)
        every_byte += static_cast<char>(b);
    for (const std::string& bytes : {every_byte, std::string("/data/qa/\xe6\xb8\xac\xe5\xae\x9a\xff\xfe"),
                                     std::string("\xf0\x9f\x98\x80 \"quoted\" \\ /")}) {
        EXPECT_EQ(parse_json(json_string(bytes)).text, bytes);
    }
    // Escapes the writer never makes are read too.
    EXPECT_EQ(parse_json(R"("\u00e9\u3042\ud83d\ude00\/")").text, "\xe9\xe3\x81\x82\xf0\x9f\x98\x80/");
}

TEST(JsonReading, ADocumentKeepsItsMembersInOrderAndItsNumbersExact)
{
    const JsonValue value =
        parse_json(R"( {"b": [1, -0.5, 1e-300, 2.2250738585072014e-308], "a": {"t": true, "f": false, "n": null}} )");
    ASSERT_EQ(value.members.size(), 2u);
    EXPECT_EQ(value.members[0].name, "b");
    EXPECT_EQ(value.member("b")->items[2].number, 1e-300);
    EXPECT_EQ(value.member("b")->items[3].number, 2.2250738585072014e-308);
    EXPECT_TRUE(value.member("a")->member("t")->flag);
    EXPECT_FALSE(value.member("a")->member("f")->flag);
    EXPECT_EQ(value.member("a")->member("n")->kind, JsonValue::Kind::Null);
    EXPECT_EQ(value.member("c"), nullptr);
}

TEST(JsonReading, WhatIsNoJsonIsRefusedWithWhere)
{
    EXPECT_EQ(refusal(R"({"a": 1)"), "7: a ',' or '}' is missing in an object");
    EXPECT_EQ(refusal(R"(["a)"), "3: unterminated string");
    EXPECT_EQ(refusal("[01]"), "2: a ',' or ']' is missing in an array");
    EXPECT_EQ(refusal("[1e999]"), "6: number out of range");
    EXPECT_EQ(refusal("\"\\ud800\""), "7: a lone surrogate");
    EXPECT_EQ(refusal("{} x"), "3: garbage at the end of the document");
    EXPECT_EQ(refusal(std::string(300, '[') + std::string(300, ']')).substr(0, 4), "201:");
    EXPECT_EQ(refusal("\"a\tb\""), "2: a control character in a string");
}

}  // namespace
}  // namespace snr
