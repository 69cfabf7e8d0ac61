// The run-wide mark of trouble met on the way (entries skipped or unread).
#include "core/verdict.h"

#include <atomic>

namespace {

std::atomic<bool> trouble{false};

}  // namespace

void NoteTrouble() {
  trouble.store(true, std::memory_order_relaxed);
}

bool TroubleNoted() {
  return trouble.load(std::memory_order_relaxed);
}
