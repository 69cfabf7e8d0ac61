// JSON Lines: strings exact where the bytes are UTF-8, base64 beside them where not; times.
#include "store/json.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Line(const std::string& bytes) {
  JsonLine j;
  j.Begin("t");
  j.Bytes("path", bytes);
  return j.Text();
}

TEST(JsonLineTest, BytesAreTextWhereUtf8AndBase64BesideWhereNot) {
  const struct {
    std::string bytes, json;
  } cases[] = {
      {"plain", R"("path":"plain")"},
      {"q\"b\\t\tn\nc\x01", R"("path":"q\"b\\t\tn\nc\u0001")"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\"path\":\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
      {"a\xFF", "\"path\":\"a\xEF\xBF\xBD\",\"path_bytes\":\"Yf8=\""},
      // overlong, surrogate, past U+10FFFF, cut short: one U+FFFD per byte
      {"\xC0\xAF", "\"path\":\"\xEF\xBF\xBD\xEF\xBF\xBD\",\"path_bytes\":\"wK8=\""},
      {"\xED\xA0\x80", "\"path\":\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\",\"path_bytes\":\"7aCA\""},
      {"\xF4\x90\x80\x80",
       "\"path\":\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\",\"path_bytes\":\"9JCAgA==\""},
      {"ab\xE2\x82", "\"path\":\"ab\xEF\xBF\xBD\xEF\xBF\xBD\",\"path_bytes\":\"YWLigg==\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ("{\"type\":\"t\"," + c.json, Line(c.bytes)) << c.json;
    EXPECT_EQ(c.json.find("_bytes") == std::string::npos, IsUtf8(c.bytes.data(), c.bytes.size()));
  }
}

TEST(JsonLineTest, TimesInUtcWithSevenDigitsAndNullWithoutADate) {
  // 2001-09-09 01:46:40.1234567 UTC, and the same second again (its calendar is kept).
  uint64_t t = (1000000000ull + 11644473600ull) * 10000000ull + 1234567;
  FILETIME ft = {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  FILETIME same = {static_cast<DWORD>(t + 1), static_cast<DWORD>((t + 1) >> 32)};
  FILETIME bad = {0, 0x80000000u};
  JsonLine j;
  j.Begin("t");
  j.Time("a", ft);
  j.Time("b", same);
  j.Time("c", bad);
  j.Time("d", ft);
  EXPECT_EQ(R"({"type":"t","a":"2001-09-09T01:46:40.1234567Z","b":"2001-09-09T01:46:40.1234568Z",)"
            R"("c":null,"d":"2001-09-09T01:46:40.1234567Z")",
            j.Text());
}

}  // namespace
