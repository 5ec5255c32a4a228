// Replacement global allocation functions for the allocation-failure tests.
// Every operator new funnels into allocate(), every delete into release(),
// so the counts cover the library's nodes, entries and strings.
#include "failing_allocator.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

std::size_t g_live = 0;
std::size_t g_made = 0;
std::size_t g_countdown = 0;  // 0: disarmed; 1: the next allocation fails.

void* allocate(std::size_t size) {
  if (g_countdown != 0 && --g_countdown == 0) {
    throw std::bad_alloc();
  }
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) {
    throw std::bad_alloc();
  }
  ++g_live;
  ++g_made;
  return p;
}

void release(void* p) noexcept {
  if (p != nullptr) {
    --g_live;
    std::free(p);
  }
}

// Over-aligned blocks come from allocate() too: the block's start is kept
// just before the aligned address handed out.
void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  char* const raw = static_cast<char*>(allocate(size + align + sizeof(void*)));
  const auto address =
      (reinterpret_cast<std::uintptr_t>(raw + sizeof(void*)) + align - 1) &
      ~(std::uintptr_t{align} - 1);
  char* const aligned = reinterpret_cast<char*>(address);
  std::memcpy(aligned - sizeof(void*), &raw, sizeof raw);
  return aligned;
}

void release_aligned(void* p) noexcept {
  if (p != nullptr) {
    void* raw = nullptr;
    std::memcpy(&raw, static_cast<char*>(p) - sizeof(void*), sizeof raw);
    release(raw);
  }
}

}  // namespace

namespace zand_test {

std::size_t live_allocations() { return g_live; }

std::size_t allocations_made() { return g_made; }

FailAllocationAt::FailAllocationAt(std::size_t k) { g_countdown = k; }

FailAllocationAt::~FailAllocationAt() { g_countdown = 0; }

}  // namespace zand_test

// Every form, the nothrow ones too: valgrind would otherwise put its own in
// the standard library's place, and mismatch them with these deletes.
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t /*size*/) noexcept { release(p); }
void operator delete[](void* p, std::size_t /*size*/) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t& /*tag*/) noexcept {
  release(p);
}
void operator delete[](void* p, const std::nothrow_t& /*tag*/) noexcept {
  release(p);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocate_aligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return allocate_aligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment,
                   const std::nothrow_t& /*tag*/) noexcept {
  try {
    return allocate_aligned(size, alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t alignment,
                     const std::nothrow_t& tag) noexcept {
  return operator new(size, alignment, tag);
}
void operator delete(void* p, std::align_val_t /*alignment*/) noexcept {
  release_aligned(p);
}
void operator delete[](void* p, std::align_val_t /*alignment*/) noexcept {
  release_aligned(p);
}
void operator delete(void* p, std::size_t /*size*/,
                     std::align_val_t /*alignment*/) noexcept {
  release_aligned(p);
}
void operator delete[](void* p, std::size_t /*size*/,
                       std::align_val_t /*alignment*/) noexcept {
  release_aligned(p);
}
void operator delete(void* p, std::align_val_t /*alignment*/,
                     const std::nothrow_t& /*tag*/) noexcept {
  release_aligned(p);
}
void operator delete[](void* p, std::align_val_t /*alignment*/,
                       const std::nothrow_t& /*tag*/) noexcept {
  release_aligned(p);
}
