// A fresh directory under the system's temporary folder, removed with everything in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/platform.h"

class ScratchDir {
 public:
  ScratchDir() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("vantel32-platform-" + std::to_string(seed()) + "-" + std::to_string(_getpid()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The full path of `name` inside the directory, with the platform's separator.
  std::string Path(const std::string& name = "") const { return path_.string() + kPathSep + name; }
  void File(const std::string& name, const std::string& contents = "") const {
    std::ofstream(Path(name), std::ios::binary) << contents;
  }
  void Dir(const std::string& name) const { std::filesystem::create_directory(Path(name)); }

 private:
  std::filesystem::path path_;
};
