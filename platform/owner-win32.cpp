// Windows keeps no POSIX owners in shared directories and no extended attributes to carry over.
#include "platform/owner.h"

bool IsPlantedInSharedDir(const char*) {
  return false;
}

bool IsOwnPrivateFile(const char*) {
  return true;
}

CarriedOver KeepExtendedAttributes(const char*, int) {
  return CarriedOver{};
}
