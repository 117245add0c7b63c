#include "db/Cp949Text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace pravik {
namespace {

struct TextCase {
  const char* name;
  std::u16string utf16;
  std::string cp949;
};

// Names the row where GoogleTest would print its bytes.
void PrintTo(const TextCase& row, std::ostream* out) { *out << row.name; }

class Cp949TextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(Cp949TextTest, ConvertsBothWays) {
  EXPECT_EQ(Cp949FromUtf16(GetParam().utf16), GetParam().cp949);
  EXPECT_EQ(Utf16FromCp949(GetParam().cp949), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Cp949TextTest,
    ::testing::Values(
        TextCase{"Empty", u"", ""},
        TextCase{"Ascii", u"Select CODETEXT From MCODEBASE\r\n", "Select CODETEXT From MCODEBASE\r\n"},
        TextCase{"Hangul", u"\uD504\uB77C\uBE45", "\xC7\xC1\xB6\xF3\xBA\xF2"},
        TextCase{"Caption", u"\uC57D\uAD6D \uD504\uB77C\uBE45 \uBC84\uC804\uD655\uC778 0408",
                 "\xBE\xE0\xB1\xB9 \xC7\xC1\xB6\xF3\xBA\xF2 \xB9\xF6\xC0\xFC\xC8\xAE\xC0\xCE 0408"},
        // A syllable of code page 949's extension, missing from plain EUC-KR.
        TextCase{"ExtendedHangul", u"\uB620", "\x8C\x63"}),
    [](const auto& info) { return info.param.name; });

TEST(Cp949TextTest, CharacterOutsideTheCodePageBecomesQuestionMark) {
  EXPECT_EQ(Cp949FromUtf16(u"a\u0E01b"), "a?b");
}

}  // namespace
}  // namespace pravik
