// AllocationProbe: watches the sizes asked of operator new while it lives.
//
// The fault tests replace the global operator new and delete (in
// allocation_probe.cc, over malloc and free) so that a test can tell that
// a damaged count or size was refused rather than allocated: the host
// libraries and the module call the test program's operator new like any
// other. A probe can also make requests fail, to show what memory running
// out does. Only one probe may live at a time; allocations outside a probe
// are neither looked at nor failed.
#ifndef TESTS_FAULT_ALLOCATION_PROBE_H_
#define TESTS_FAULT_ALLOCATION_PROBE_H_

#include <cstddef>

namespace fault {

class AllocationProbe {
 public:
  AllocationProbe();
  ~AllocationProbe();
  AllocationProbe(const AllocationProbe&) = delete;
  AllocationProbe& operator=(const AllocationProbe&) = delete;

  // The largest single request made since the probe began (bytes).
  size_t Largest() const;
  // Memory runs out: the request `n` requests from now and every later one,
  // while the probe lives, fail (std::bad_alloc; null from the nothrow
  // forms).
  void FailFrom(size_t n);
  // Whether a request has failed since FailFrom.
  bool Refused() const;
};

}  // namespace fault

#endif  // TESTS_FAULT_ALLOCATION_PROBE_H_
