#pragma once

#include <cstddef>

namespace mw {

// Storage provider of guarded strings.
class IMemMgr {
 public:
  virtual void* Allocate(std::size_t size) = 0;
  // Keeps the content up to the smaller size; on failure returns null and
  // leaves the block valid. A null block asks for a new one.
  virtual void* Reallocate(void* block, std::size_t size) = 0;
  virtual void Free(void* block) = 0;
  // Called once each time a string gives up its storage, after any Free.
  virtual void OnRelease() = 0;

 protected:
  constexpr IMemMgr() = default;
  ~IMemMgr() = default;
};

// The C runtime heap. Stateless, so one constant-initialised instance serves
// the whole process, including strings built before wmain.
class StringMemMgr final : public IMemMgr {
 public:
  constexpr StringMemMgr() = default;

  void* Allocate(std::size_t size) override;
  void* Reallocate(void* block, std::size_t size) override;
  void Free(void* block) override;
  void OnRelease() override;

  static StringMemMgr& Instance();
};

}  // namespace mw
