// JSON Lines with exact names: text as JSON strings, bytes that are not UTF-8 kept in base64.
#include "store/json.h"

#include <cstring>

namespace {

// The length of the UTF-8 character at p (1 to 4), or 0 when the bytes there are not one.
size_t CharLength(const unsigned char* p, size_t left) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  size_t len;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) low = 0xA0;   // overlong
    if (c == 0xED) high = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) low = 0x90;   // overlong
    if (c == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (left < len || p[1] < low || p[1] > high) return 0;
  for (size_t k = 2; k < len; ++k)
    if ((p[k] & 0xC0) != 0x80) return 0;
  return len;
}

void Base64(const unsigned char* p, size_t len, std::string* out) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (size_t i = 0; i < len; i += 3) {
    uint32_t v = static_cast<uint32_t>(p[i]) << 16;
    if (i + 1 < len) v |= static_cast<uint32_t>(p[i + 1]) << 8;
    if (i + 2 < len) v |= p[i + 2];
    *out += kDigits[v >> 18];
    *out += kDigits[(v >> 12) & 63];
    *out += i + 1 < len ? kDigits[(v >> 6) & 63] : '=';
    *out += i + 2 < len ? kDigits[v & 63] : '=';
  }
}

// The string's contents, escaped; returns whether every byte was part of a UTF-8 character.
bool Escape(const unsigned char* p, size_t len, std::string* out) {
  static const char kHex[] = "0123456789abcdef";
  bool valid = true;
  for (size_t i = 0; i < len;) {
    unsigned char c = p[i];
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
      size_t run = i + 1;
      while (run < len && p[run] >= 0x20 && p[run] < 0x80 && p[run] != '"' && p[run] != '\\') ++run;
      out->append(reinterpret_cast<const char*>(p + i), run - i);
      i = run;
      continue;
    }
    if (c < 0x80) {
      const char* named = c == '"'    ? "\\\""
                          : c == '\\' ? "\\\\"
                          : c == '\n' ? "\\n"
                          : c == '\t' ? "\\t"
                          : c == '\r' ? "\\r"
                                      : nullptr;
      if (named != nullptr) {
        *out += named;
      } else {
        *out += "\\u00";
        *out += kHex[c >> 4];
        *out += kHex[c & 15];
      }
      ++i;
      continue;
    }
    size_t n = CharLength(p + i, len - i);
    if (n == 0) {
      *out += "\xEF\xBF\xBD";  // U+FFFD for the one byte
      valid = false;
      ++i;
      continue;
    }
    out->append(reinterpret_cast<const char*>(p + i), n);
    i += n;
  }
  return valid;
}

}  // namespace

bool IsUtf8(const char* bytes, size_t len) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < len;) {
    size_t n = CharLength(p + i, len - i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void JsonLine::Begin(const char* type) {
  line_.clear();
  line_ += "{\"type\":\"";
  line_ += type;
  line_ += '"';
}

void JsonLine::Key(const char* key) {
  char last = line_.empty() ? '{' : line_.back();
  if (last != '{' && last != '[') line_ += ',';
  if (key == nullptr) return;
  line_ += '"';
  line_ += key;
  line_ += "\":";
}

void JsonLine::Bytes(const char* key, const char* text, size_t len) {
  Key(key);
  line_ += '"';
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  bool valid = Escape(p, len, &line_);
  line_ += '"';
  if (valid) return;
  line_ += ",\"";
  line_ += key;
  line_ += "_bytes\":\"";
  Base64(p, len, &line_);
  line_ += '"';
}

void JsonLine::Text(const char* key, const char* text) {
  Bytes(key, text, strlen(text));
}

void JsonLine::Int(const char* key, int64_t value) {
  Key(key);
  char digits[24];
  char* p = digits + sizeof digits;
  uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do *--p = static_cast<char>('0' + v % 10);
  while ((v /= 10) != 0);
  if (value < 0) *--p = '-';
  line_.append(p, static_cast<size_t>(digits + sizeof digits - p));
}

void JsonLine::Bool(const char* key, bool value) {
  Key(key);
  line_ += value ? "true" : "false";
}

void JsonLine::Null(const char* key) {
  Key(key);
  line_ += "null";
}

void JsonLine::Crc(const char* key, uint32_t crc) {
  static const char kHex[] = "0123456789ABCDEF";
  Key(key);
  char text[10] = {'"'};
  for (int i = 0; i < 8; ++i) text[1 + i] = kHex[(crc >> (28 - 4 * i)) & 0xF];
  text[9] = '"';
  line_.append(text, sizeof text);
}

void JsonLine::Time(const char* key, const FILETIME& ft) {
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  uint64_t second = ticks / 10000000u;
  // The three times of an entry, and the entries of one copy, mostly share their second: the
  // calendar is worked out once for it.
  if (!timeKnown_ || second != timeSecond_) {
    SYSTEMTIME st;
    timeKnown_ = true;
    timeSecond_ = second;
    timeValid_ = (ft.dwHighDateTime & 0x80000000u) == 0 && FileTimeToSystemTime(&ft, &st) &&
                 st.wMonth >= 1 && st.wMonth <= 12;
    if (timeValid_) {
      memcpy(time_, "\"0000-00-00T00:00:00.0000000Z\"", 30);
      Digits(4, st.wYear, 4);
      Digits(7, st.wMonth, 2);
      Digits(10, st.wDay, 2);
      Digits(13, st.wHour, 2);
      Digits(16, st.wMinute, 2);
      Digits(19, st.wSecond, 2);
    }
  }
  if (!timeValid_) {
    Null(key);
    return;
  }
  Digits(27, static_cast<unsigned>(ticks % 10000000u), 7);
  Key(key);
  line_.append(time_, 30);
}

void JsonLine::Digits(size_t end, unsigned value, int digits) {
  for (int k = 0; k < digits; ++k, value /= 10)
    time_[end - k] = static_cast<char>('0' + value % 10);
}

void JsonLine::Open(const char* key) {
  Key(key);
  line_ += '{';
}

void JsonLine::OpenArray(const char* key) {
  Key(key);
  line_ += '[';
}

void JsonLine::Close() {
  line_ += '}';
}

void JsonLine::CloseArray() {
  line_ += ']';
}

bool JsonLine::Write(FILE* out) {
  line_ += "}\n";
  return fwrite(line_.data(), 1, line_.size(), out) == line_.size();
}
