// How many entries the file system under a path holds, from its inode counts.
#include <sys/statvfs.h>

#include "platform/platform.h"

uint64_t EntriesOnVolume(const char* path) {
  struct statvfs fs;
  if (statvfs(path, &fs) != 0 || fs.f_files == 0 || fs.f_ffree > fs.f_files) return 0;
  return static_cast<uint64_t>(fs.f_files - fs.f_ffree);
}
