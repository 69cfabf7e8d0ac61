// JSON Lines: one object per line, built in one buffer and written with one call, so that lines
// from two threads never interleave. Keys stand in the order they are added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/platform.h"

class JsonLine {
 public:
  /// Starts a new object: {"type":"<type>"
  void Begin(const char* type);
  /// A text that may hold any bytes: a JSON string where they are UTF-8, otherwise the string
  /// with U+FFFD for each byte that is not and "<key>_bytes" with the bytes in base64.
  void Bytes(const char* key, const char* text, size_t len);
  void Bytes(const char* key, const std::string& text) { Bytes(key, text.data(), text.size()); }
  void Text(const char* key, const char* text);  // a text of the program's own (ASCII)
  void Int(const char* key, int64_t value);
  void Bool(const char* key, bool value);
  void Null(const char* key);
  /// Eight hexadecimal digits.
  void Crc(const char* key, uint32_t crc);
  /// ISO 8601 in UTC with seven fractional digits, or null for a stamp with no calendar date.
  void Time(const char* key, const FILETIME& ft);
  /// A nested object or array under key (key null: an element of the array around it).
  void Open(const char* key);
  void OpenArray(const char* key);
  void Close();
  void CloseArray();
  /// Ends the object and writes its line to out. Returns false when the write failed.
  bool Write(FILE* out);
  /// The line so far, without its end (for tests).
  const std::string& Text() const { return line_; }

 private:
  void Key(const char* key);
  void Digits(size_t end, unsigned value, int digits);  // into time_, ending at end
  std::string line_;
  // "YYYY-MM-DDThh:mm:ss.fffffffZ" in quotes, of the second last shown.
  char time_[32] = "";
  uint64_t timeSecond_ = 0;
  bool timeKnown_ = false;
  bool timeValid_ = false;
};

/// Whether bytes[0, len) are valid UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(const char* bytes, size_t len);
