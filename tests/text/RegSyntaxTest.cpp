// The .reg grammar's tokenizer: what a line holds, where its reading stops,
// which lines a continuation joins. Both character types: the stand-in reads
// UTF-8, the tools WCHARs. That what the writer writes reads back is the
// fuzz target's check, over any text.
#include <gtest/gtest.h>

#include <vector>

#include "text/RegSyntax.h"

using namespace oculo::text;

TEST(RegSyntax, LinesSayWhatTheyHold) {
    const RegLine<char> key = ReadRegLine(" [-HKEY_LOCAL_MACHINE\\SOFTWARE\\x] ");
    EXPECT_EQ(key.kind, RegLineKind::kKey);
    EXPECT_TRUE(key.remove);
    EXPECT_EQ(key.path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\x");

    // Escapes: \\ and \" only; any other backslash stands, and is noted.
    const RegLine<wchar_t> text = ReadRegLine(L"\"a\\\"b\" = \"c\\\\d\\n\"");
    EXPECT_EQ(text.kind, RegLineKind::kValue);
    EXPECT_EQ(text.problem, RegProblem::kNone);
    EXPECT_EQ(text.name, L"a\"b");
    EXPECT_EQ(text.data, RegData::kString);
    EXPECT_EQ(text.text, L"c\\d\\n");
    EXPECT_TRUE(text.unknownEscape);
    EXPECT_EQ(text.escape, L'n');

    const RegLine<char> dword = ReadRegLine("@=DWORD:1e");
    EXPECT_TRUE(dword.isDefault);
    EXPECT_EQ(dword.data, RegData::kDword);
    EXPECT_EQ(dword.digits, "1e");
    EXPECT_EQ(dword.number, 0x1Eu);

    const RegLine<char> hex = ReadRegLine("\"m\"=hex(2):41,0,\\\n  42,00");  // a continued line
    EXPECT_EQ(hex.data, RegData::kHex);
    EXPECT_EQ(hex.type, 2u);
    EXPECT_EQ(hex.bytes, std::vector<uint8_t>({0x41, 0, 0x42, 0}));
    EXPECT_EQ(ReadRegLine("\"b\"=hex:").bytes.size(), 0u);

    EXPECT_TRUE(ReadRegLine(L"REGEDIT4").regedit4);
    EXPECT_EQ(ReadRegLine("; [not a key]").kind, RegLineKind::kComment);
    EXPECT_EQ(ReadRegLine(" \t").kind, RegLineKind::kBlank);
    EXPECT_EQ(ReadRegLine("name=1").kind, RegLineKind::kOther);
}

TEST(RegSyntax, AReadingThatStopsShortSaysWhere) {
    const struct {
        const char* line;
        RegProblem problem;
    } cases[] = {
        {"[HKEY_LOCAL_MACHINE", RegProblem::kUnclosedKey},
        {"\"name\"=\"x\\\"", RegProblem::kUnclosedString},
        {"\"name\" x=1", RegProblem::kNoEquals},
        {"\"name\"=  ", RegProblem::kNoData},
        {"\"name\"=qword:1", RegProblem::kUnknownData},
        {"\"name\"=\"a\" ; b", RegProblem::kTrailingText},
        {"\"name\"=dword:123456789", RegProblem::kBadDword},
        {"\"name\"=dword:", RegProblem::kBadDword},
        {"\"name\"=hex:123", RegProblem::kBadHex},
        {"\"name\"=hex:01,,02", RegProblem::kBadHex},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadRegLine(c.line).problem, c.problem) << c.line;
}

TEST(RegSyntax, ABackslashContinuesAValueUntilABlankLineOrAKey) {
    const std::vector<RegTextLine<wchar_t>> lines = SplitRegLines(
        L"\"a\"=hex:01,\\\r\n  02\r\r\n"  // continued once
        L"\"b\"=hex:03,\\\n\n"            // a blank line ends it
        L"[k]\\\n"                        // a key is never continued
        L"\"c\"=\\\n[d]");                // nor continues a value
    const struct {
        const wchar_t* text;
        size_t number;
        bool continued;
    } expected[] = {{L"\"a\"=hex:01,\\\n  02", 1, true},
                    {L"\"b\"=hex:03,\\", 3, true},
                    {L"", 4, false},
                    {L"[k]\\", 5, false},
                    {L"\"c\"=\\", 6, true},
                    {L"[d]", 7, false}};
    ASSERT_EQ(lines.size(), std::size(expected));
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].text, expected[i].text) << i;
        EXPECT_EQ(lines[i].number, expected[i].number) << i;
        EXPECT_EQ(lines[i].continued, expected[i].continued) << i;
    }
}
