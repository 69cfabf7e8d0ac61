// Long names in blocks: a bump allocator whose blocks count their living names.
#include "core/names.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace {

constexpr size_t kBlockBytes = size_t{1} << 20;

struct Block {
  std::unique_ptr<char[]> bytes;
  size_t size = 0;
  size_t used = 0;
  size_t live = 0;
};

struct Pool {
  std::mutex mutex;
  // By the address of their last byte, so that lower_bound finds the block of a name.
  std::map<const char*, Block, std::less<>> blocks;
  Block* current = nullptr;
};

// Never destroyed: the records of a static table (the run's tasks) go after it would.
Pool& ThePool() {
  static Pool* pool = new Pool;
  return *pool;
}

Block* NewBlock(Pool& pool, size_t need) {
  Block b;
  b.size = need > kBlockBytes ? need : kBlockBytes;
  b.bytes.reset(new char[b.size]);
  const char* last = b.bytes.get() + b.size - 1;
  return &pool.blocks.emplace(last, std::move(b)).first->second;
}

}  // namespace

char* NewName(const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  size_t n = strlen(name) + 1;
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  Block* b = pool.current;
  if (b == nullptr || b->size - b->used < n) {
    b = NewBlock(pool, n);
    // A full block goes once its names do; it is never written again.
    if (pool.current != nullptr && pool.current->live == 0)
      pool.blocks.erase(pool.current->bytes.get() + pool.current->size - 1);
    pool.current = b;
  }
  char* copy = b->bytes.get() + b->used;
  memcpy(copy, name, n);
  b->used += n;
  ++b->live;
  return copy;
}

void DeleteName(char* name) {
  if (name == nullptr) return;
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  auto it = pool.blocks.lower_bound(static_cast<const char*>(name));
  if (it == pool.blocks.end() || --it->second.live != 0) return;
  if (&it->second == pool.current) {
    it->second.used = 0;  // empty: filled again from the start
  } else {
    pool.blocks.erase(it);
  }
}
