// The one way the reports turn a record into the path they print.
#include "modes/shownpath.h"

#include <cstring>

const char* ShownPath(const Table& t, long idx, char* out) {
  size_t base = strlen(t.cStartPath);
  memcpy(out, t.cStartPath, base + 1);
  if (idx >= 0) t.ComposeLongPath(static_cast<unsigned>(idx), out + base, 2 * MAX_PATH - base);
  CharToOemA(out, out);
  return out;
}
