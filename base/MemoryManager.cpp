#include "base/MemoryManager.h"

#include <cstdlib>

namespace mw {

namespace {
constinit StringMemMgr TheStringMemMgr;
}

void* StringMemMgr::Allocate(std::size_t size) { return std::malloc(size); }

void* StringMemMgr::Reallocate(void* block, std::size_t size) { return std::realloc(block, size); }

void StringMemMgr::Free(void* block) { std::free(block); }

void StringMemMgr::OnRelease() {}

StringMemMgr& StringMemMgr::Instance() { return TheStringMemMgr; }

}  // namespace mw
