// The regedit text format: value lines, escaping, damaged lines, rewriting.
#include "platform/registry/reg_format.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

namespace kv::registry {
namespace {

constexpr const char* kKey = "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\n";

struct ValueRow {
  const char* line;
  bool readable;
  ValueType type;
  std::string text;
  uint32_t dword;
  std::vector<uint8_t> bytes;
};

// Names the row after its line, so that test names stay readable and stable.
void PrintTo(const ValueRow& row, std::ostream* os) {
  for (const char* c = row.line; *c; ++c) *os << (std::isalnum(static_cast<unsigned char>(*c)) ? std::string(1, *c) : *c == '-' ? "minus" : *c == '+' ? "plus" : "_");
}

class ValueLineTest : public ::testing::TestWithParam<ValueRow> {};

TEST_P(ValueLineTest, ParsesOrSkipsValueLine) {
  const ValueRow& row = GetParam();
  ParsedHive parsed = ParseRegText(std::string("Windows Registry Editor Version 5.00\n\n") + kKey + row.line + "\n");
  ASSERT_EQ(parsed.document.keys.size(), 1u);
  const HiveKey& key = parsed.document.keys[0];
  if (!row.readable) {
    EXPECT_TRUE(key.values.empty());
    ASSERT_EQ(parsed.skipped.size(), 1u);
    EXPECT_EQ(parsed.skipped[0].number, 4);
    EXPECT_EQ(parsed.skipped[0].text, row.line);
    ASSERT_EQ(key.keptLines.size(), 1u);
    EXPECT_EQ(key.keptLines[0], row.line);
    return;
  }
  EXPECT_TRUE(parsed.skipped.empty());
  ASSERT_EQ(key.values.size(), 1u);
  const HiveValue& v = key.values[0];
  EXPECT_EQ(v.type, row.type);
  switch (row.type) {
    case ValueType::String: EXPECT_EQ(v.text, row.text); break;
    case ValueType::DWord: EXPECT_EQ(v.dword, row.dword); break;
    default: EXPECT_EQ(v.bytes, row.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ValueLineTest,
    ::testing::Values(
        ValueRow{R"("Left"=dword:00000064)", true, ValueType::DWord, "", 100, {}},
        ValueRow{R"("Neg"=dword:ffffffff)", true, ValueType::DWord, "", 0xffffffffu, {}},
        ValueRow{R"("Short"=dword:1A)", true, ValueType::DWord, "", 26, {}},
        ValueRow{R"("Spaced" = dword:00000001)", true, ValueType::DWord, "", 1, {}},
        ValueRow{R"("Zoom"=hex:00,00,00,00,00,00,d0,3f)", true, ValueType::Binary, "", 0,
                 {0, 0, 0, 0, 0, 0, 0xd0, 0x3f}},
        ValueRow{R"("Empty"=hex:)", true, ValueType::Binary, "", 0, {}},
        ValueRow{R"("Bin3"=hex(3):01,02)", true, ValueType::Binary, "", 0, {1, 2}},
        ValueRow{R"("Multi"=hex(7):41,00,00,00)", true, ValueType::Other, "", 0, {0x41, 0, 0, 0}},
        ValueRow{R"("Font"="Arial")", true, ValueType::String, "Arial", 0, {}},
        ValueRow{R"(@="default")", true, ValueType::String, "default", 0, {}},
        ValueRow{R"("Q"="say \"hi\"")", true, ValueType::String, "say \"hi\"", 0, {}},
        ValueRow{R"("Dir"="C:\\Videos\\")", true, ValueType::String, "C:\\Videos\\", 0, {}},
        ValueRow{R"("Hand"="C:\Videos")", true, ValueType::String, "C:\\Videos", 0, {}},
        ValueRow{R"("Lines"="a\nb\r\0c")", true, ValueType::String, std::string("a\nb\r\0c", 6), 0, {}},
        // rows that must be skipped and kept
        ValueRow{R"("Left"=dword:000000641)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Left"=dword:)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Left"=dword:zz)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Left"=dwo)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Font"="Arial)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Font"="Arial" trailing)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Zoom"=hex:0g,00)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Zoom"=hex:100)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("Gone"=-)", false, ValueType::None, "", 0, {}},
        ValueRow{R"("NoEquals")", false, ValueType::None, "", 0, {}},
        ValueRow{"garbage \x01\x02", false, ValueType::None, "", 0, {}}));

TEST(RegFormat, EscapeRoundTrip_keepsEveryAwkwardCharacter) {
  const std::string samples[] = {
      "", "plain", "\"quoted\"", "back\\slash\\", "\\\\server\\share", "line1\nline2\r\n",
      std::string("nul\0inside", 10), "trailing backslash\\", "ends with quote\"", "tab\there", "ümlaut"};
  for (const auto& s : samples) {
    HiveDocument doc;
    HiveKey& key = doc.CreateKey("HKEY_CURRENT_USER\\K", "HKEY_CURRENT_USER");
    HiveValue v;
    v.name = s.empty() ? "" : "n" + s;  // names carry the same characters
    v.type = ValueType::String;
    v.text = s;
    HiveDocument::SetValue(key, v);
    ParsedHive back = ParseRegText(SerializeRegText(doc));
    ASSERT_TRUE(back.skipped.empty()) << SerializeRegText(doc);
    ASSERT_EQ(back.document.keys.size(), 1u);
    ASSERT_EQ(back.document.keys[0].values.size(), 1u);
    EXPECT_EQ(back.document.keys[0].values[0].text, s);
    EXPECT_EQ(back.document.keys[0].values[0].name, v.name);
  }
}

TEST(RegFormat, Parse_acceptsCrLfBomRegedit4AndContinuedHex) {
  std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
      "\"Data\"=hex:01,02,\\\r\n  03,04,\\\n  05\r\n"
      "\"After\"=dword:00000002\r\n";
  ParsedHive parsed = ParseRegText(text);
  EXPECT_TRUE(parsed.skipped.empty());
  ASSERT_EQ(parsed.document.keys.size(), 1u);
  const auto& values = parsed.document.keys[0].values;
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(values[1].dword, 2u);
}

TEST(RegFormat, Parse_readsRegeditsUtf16Exports) {
  std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
      u"\"Language\"=\"Fran\u00e7ais \U0001F600\"\r\n\"MultipleInst\"=dword:00000001\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xff);
    bytes += static_cast<char>(c >> 8);
  }
  ParsedHive parsed = ParseRegText(bytes);
  EXPECT_TRUE(parsed.skipped.empty());
  ASSERT_EQ(parsed.document.keys.size(), 1u);
  ASSERT_EQ(parsed.document.keys[0].values.size(), 2u);
  EXPECT_EQ(parsed.document.keys[0].values[0].text, "Fran\xC3\xA7" "ais \xF0\x9F\x98\x80");
  EXPECT_EQ(parsed.document.keys[0].values[1].dword, 1u);
  EXPECT_EQ(Utf16LeToUtf8(std::string("\x00\xD8x\x00", 4)), "\xEF\xBF\xBDx");  // lone surrogate
}

TEST(RegFormat, Parse_mergesRepeatedSectionsLaterValuesWin) {
  ParsedHive parsed = ParseRegText(
      "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000001\n\"y\"=\"keep\"\n"
      "[HKEY_CURRENT_USER\\B]\n"
      "[hkey_current_user\\a]\n\"X\"=dword:00000002\n");
  ASSERT_EQ(parsed.document.keys.size(), 2u);
  const HiveKey* a = parsed.document.FindKey("HKEY_CURRENT_USER\\A");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->values.size(), 2u);
  EXPECT_EQ(a->values[0].name, "x");  // first spelling kept
  EXPECT_EQ(a->values[0].dword, 2u);
}

TEST(RegFormat, Rewrite_keepsUnreadableLinesAndComments) {
  std::string text =
      "Windows Registry Editor Version 5.00\n"
      "stray line before keys\n"
      "\n[HKEY_CURRENT_USER\\A]\n"
      "; a comment\n"
      "\"Good\"=dword:00000005\n"
      "\"Bad\"=dword:xyz\n"
      "[-HKEY_CURRENT_USER\\Deleted]\n"
      "[HKEY_CURRENT_USER\\A\\Sub]\n"
      "\"S\"=\"v\"\n";
  ParsedHive first = ParseRegText(text);
  ASSERT_EQ(first.skipped.size(), 3u);  // comment lines are kept but not reported
  EXPECT_EQ(first.skipped[0].number, 2);
  EXPECT_EQ(first.skipped[1].number, 7);
  EXPECT_EQ(first.skipped[2].number, 8);
  std::string rewritten = SerializeRegText(first.document);
  for (const char* line : {"stray line before keys", "; a comment", "\"Bad\"=dword:xyz",
                           "[-HKEY_CURRENT_USER\\Deleted]", "\"Good\"=dword:00000005", "\"S\"=\"v\""}) {
    EXPECT_NE(rewritten.find(line), std::string::npos) << line;
  }
  // stable: a second round gives the same text
  EXPECT_EQ(SerializeRegText(ParseRegText(rewritten).document), rewritten);
}

TEST(RegFormat, Parse_valueBeforeAnyKeyIsKeptInPreamble) {
  ParsedHive parsed = ParseRegText("\"Orphan\"=dword:00000001\n[HKEY_CURRENT_USER\\A]\n");
  ASSERT_EQ(parsed.skipped.size(), 1u);
  ASSERT_EQ(parsed.document.preamble.size(), 1u);
  EXPECT_EQ(parsed.document.preamble[0], "\"Orphan\"=dword:00000001");
}

// Damaged variants of a real hive (bytes flipped, cut, doubled, line breaks inserted): parsing
// never fails, and what is written back reads back to the same text (nothing drifts or is
// lost on later rewrites).
TEST(RegFormat, DamagedVariants_rewriteStably) {
  const std::string good =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\n"
      "\"Version\"=\"2.3.0.0\"\n\"OpenDir\"=\"C:\\\\Videos\\\\\"\n\n"
      "[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Position]\n\"Left\"=dword:00000064\n"
      "\"ZoomStep\"=hex:00,00,00,00,00,00,d0,3f\n\"Multi\"=hex(7):41,00,00,00\n@=\"default\"\n";
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int round = 0; round < 3000; ++round) {
    std::string text = good;
    for (int edits = 1 + next() % 4; edits > 0; --edits) {
      size_t at = next() % (text.size() + 1);
      switch (next() % 5) {
        case 0: if (at < text.size()) text[at] = static_cast<char>(next() & 0xff); break;
        case 1: text.resize(at); break;
        case 2: text.insert(at, 1, "\n\\\"[]=,@"[next() % 9]); break;
        case 3: text.insert(at, text.substr(at, next() % 20)); break;
        case 4: text.erase(at, next() % 5); break;
      }
    }
    std::string once = SerializeRegText(ParseRegText(text).document);
    ParsedHive again = ParseRegText(once);
    ASSERT_EQ(SerializeRegText(again.document), once) << "round " << round << ":\n" << text;
  }
}

}  // namespace
}  // namespace kv::registry
