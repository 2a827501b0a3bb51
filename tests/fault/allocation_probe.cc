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

void* AllocateOrNull(size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
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

void AllocationProbe::FailFrom(size_t n) { failFrom = count + n; }

bool AllocationProbe::Refused() const { return refused; }

}  // namespace fault

// Every form the code under test may call with the default alignment, so
// that what one form allocates the matching form frees, sanitizer builds
// included (whose runtime supplies any form not replaced here). No type in
// the code under test is over-aligned: the aligned forms stay the
// runtime's, neither probed nor failed.
void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
