// The fault tests' replacement of the global allocation functions, and the
// probe that reads what they saw (allocation_probe.h).
#include "tests/fault/allocation_probe.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Written only on the test's thread; a second thread allocating while a
// probe lives would merely blur the figures.
bool probing = false;
size_t largest = 0;
size_t count = 0;
size_t failFrom = SIZE_MAX;  // index of the first request to fail
bool refused = false;

// Counts the request; throws std::bad_alloc when it is to fail.
void Note(size_t size) {
  if (!probing) return;
  if (count++ >= failFrom) {
    refused = true;
    throw std::bad_alloc();
  }
  if (size > largest) largest = size;
}

void* Allocate(size_t size) {
  Note(size);
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void* AllocateAligned(size_t size, std::align_val_t alignment) {
  Note(size);
  const size_t align = static_cast<size_t>(alignment);
  void* p = nullptr;
  if (posix_memalign(&p, align < sizeof(void*) ? sizeof(void*) : align, size == 0 ? 1 : size) != 0) {
    throw std::bad_alloc();
  }
  return p;
}

}  // namespace

namespace fault {

AllocationProbe::AllocationProbe() {
  largest = 0;
  count = 0;
  probing = true;
}

AllocationProbe::~AllocationProbe() {
  probing = false;
  failFrom = SIZE_MAX;
  refused = false;
}

size_t AllocationProbe::Largest() const { return largest; }

size_t AllocationProbe::Count() const { return count; }

void AllocationProbe::FailFrom(size_t n) { failFrom = count + n; }

bool AllocationProbe::Refused() const { return refused; }

}  // namespace fault

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }
