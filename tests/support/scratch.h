// A fresh directory under the system's temporary folder for one test, removed with everything
// in it when the object goes (entries the test made read-only included).
#pragma once

#include <filesystem>
#include <string>

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  /// False when no directory could be made; Root() is then empty.
  bool Made() const { return !root_.empty(); }
  /// The directory with symbolic links resolved (as the program sees its current directory),
  /// in the platform's preferred form.
  const std::filesystem::path& Root() const { return root_; }
  /// Root(), the platform's separator and name as given.
  std::string Path(const std::string& name = "") const;
  /// Creates the file name (contents as raw bytes) or the directory name inside Root().
  void File(const std::string& name, const std::string& contents = "") const;
  void Dir(const std::string& name) const;

 private:
  std::filesystem::path root_;
};
