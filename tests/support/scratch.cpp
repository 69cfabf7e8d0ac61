// The one scratch-directory helper of the tests: unique names, removal of read-only trees.
#include "tests/support/scratch.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

// Many test processes run at once: names come from a random source, and creation is exclusive.
fs::path NewTempDir() {
  std::random_device seed;
  std::mt19937_64 rng(
      seed() ^ static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) return fs::path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "vantel32-test-" << std::hex << (rng() & 0xFFFFFFFFFFull);
    fs::path dir = base / name.str();
    if (fs::create_directory(dir, ec)) return dir;
  }
  return fs::path();
}

// Windows refuses to delete read-only entries: every entry gets its owner's rights first.
void RemoveTree(const fs::path& root) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (!it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(root, ec);
}

}  // namespace

ScratchDir::ScratchDir() {
  fs::path dir = NewTempDir();
  if (dir.empty()) return;
  std::error_code ec;
  fs::path real = fs::canonical(dir, ec);
  root_ = (ec ? dir : real).make_preferred();
}

ScratchDir::~ScratchDir() {
  if (Made()) RemoveTree(root_);
}

std::string ScratchDir::Path(const std::string& name) const {
  return root_.string() + kPathSep + name;
}

void ScratchDir::File(const std::string& name, const std::string& contents) const {
  std::ofstream(Path(name), std::ios::binary) << contents;
}

void ScratchDir::Dir(const std::string& name) const {
  std::error_code ignored;
  fs::create_directory(Path(name), ignored);
}
