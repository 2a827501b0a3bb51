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

// The allocation function the standard library's own array and nothrow
// forms call (the nothrow forms answer null where it throws), and the
// deallocation functions theirs call. No type in the code under test is
// over-aligned, so the aligned forms stay the library's (aligned_alloc and
// free), neither probed nor failed.
void* operator new(size_t size) {
  Note(size);
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
