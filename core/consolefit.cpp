// Fitting progress lines to the console's width, by characters as the console shows them.
#include "core/consolefit.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace {

// The characters of a text: where each begins and how many columns it takes.
std::vector<std::pair<size_t, size_t>> Characters(const std::string& s, bool utf8) {
  std::vector<std::pair<size_t, size_t>> chars;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = 1;
    if (utf8 && c >= 0xC0) len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    size_t k = 1;
    while (k < len && i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80)
      ++k;
    if (k < len) len = 1;  // not UTF-8: the console shows one replacement character
    chars.emplace_back(i, len >= 3 ? 2 : 1);
    i += len;
  }
  return chars;
}

size_t Columns(const std::vector<std::pair<size_t, size_t>>& chars) {
  size_t n = 0;
  for (const auto& c : chars) n += c.second;
  return n;
}

// The longest start of s within room columns.
std::string Head(const std::string& s, const std::vector<std::pair<size_t, size_t>>& chars,
                 size_t room) {
  size_t used = 0, k = 0;
  for (; k < chars.size() && used + chars[k].second <= room; ++k) used += chars[k].second;
  return s.substr(0, k < chars.size() ? chars[k].first : s.size());
}

// The longest end of s within room columns.
std::string Tail(const std::string& s, const std::vector<std::pair<size_t, size_t>>& chars,
                 size_t room) {
  size_t used = 0, k = chars.size();
  for (; k > 0 && used + chars[k - 1].second <= room; --k) used += chars[k - 1].second;
  return s.substr(k < chars.size() ? chars[k].first : s.size());
}

std::string Pad(std::string s, size_t shown, size_t room) {
  if (shown < room) s.append(room - shown, ' ');
  return s;
}

}  // namespace

std::string FitToConsole(const std::string& text, int columns, bool utf8) {
  size_t room = columns > 1 ? static_cast<size_t>(columns) - 1 : 0;
  std::string out;
  for (size_t begin = 0; begin < text.size();) {
    size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(begin, end - begin);
    out += Head(part, Characters(part, utf8), room);
    if (end < text.size()) out += text[end++];
    begin = end;
  }
  return out;
}

std::string ChecksumProgressText(const std::string& path, unsigned done, unsigned total,
                                 int columns, bool utf8) {
  size_t width = columns > 1 ? static_cast<size_t>(columns) - 1 : 0;
  char count[32];
  snprintf(count, sizeof count, "%6u/%u", done, total);
  std::string counter = count;
  // Below a few columns for the path the count alone is shown.
  constexpr size_t kLeast = 8;
  if (width < counter.size() + 1 + kLeast) {
    std::vector<std::pair<size_t, size_t>> chars = Characters(counter, false);
    std::string shown = Tail(counter, chars, width);
    return Pad(shown, shown.size(), width);
  }
  size_t room = width - counter.size() - 1;
  std::vector<std::pair<size_t, size_t>> chars = Characters(path, utf8);
  size_t columnsOfPath = Columns(chars);
  std::string shown = path;
  if (columnsOfPath > room) {
    size_t head = (room - 3 + 1) / 2;
    shown = Head(path, chars, head) + "...";
    shown += Tail(path, chars, room - 3 - head);
    columnsOfPath = Columns(Characters(shown, utf8));
  }
  return Pad(shown, columnsOfPath, room) + " " + counter;
}
