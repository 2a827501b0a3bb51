// ProcedureIndex: the live procedures by their two names, for lookups that
// allocate nothing and touch little memory.
//
// An open-addressing table of (hash, procedure) slots, a power of two long
// and at most half full, probed linearly. A lookup hashes the two names,
// reads one short run of slots and then the procedure whose hash matches,
// to compare its names: two cache misses where a node-based map takes three
// or more. Removal shifts the following entries back, so there are no
// tombstones and a run never grows with churn.
#ifndef HOST_VANTIC_PROCEDURE_INDEX_H_
#define HOST_VANTIC_PROCEDURE_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "hostapi/vantic_procedure.h"

namespace vantic {

class ProcedureIndex {
 public:
  // The procedure registered under these names, or null.
  Procedure* Find(std::string_view owner, std::string_view name) const {
    if (_slots.empty()) return nullptr;
    const uint64_t hash = HashOf(owner, name);
    for (size_t i = hash & _mask;; i = (i + 1) & _mask) {
      const Slot& slot = _slots[i];
      if (slot.procedure == nullptr) return nullptr;
      if (slot.hash == hash && slot.procedure->_ownerClass == owner &&
          slot.procedure->_name == name) {
        return slot.procedure;
      }
    }
  }

  // Adds `procedure` under its current names.
  // REQUIRES: no procedure of the index has the same names.
  void Insert(Procedure* procedure) {
    if ((_count + 1) * 2 > _slots.size()) Grow();
    Place(Slot{HashOf(procedure->_ownerClass, procedure->_name), procedure});
    ++_count;
  }

  // Removes `procedure`, found under its current names; nothing when it is
  // not in the index.
  void Erase(const Procedure* procedure) {
    if (_slots.empty()) return;
    size_t hole = HashOf(procedure->_ownerClass, procedure->_name) & _mask;
    while (_slots[hole].procedure != procedure) {
      if (_slots[hole].procedure == nullptr) return;
      hole = (hole + 1) & _mask;
    }
    // Move back every later entry of the run that may stand in the hole:
    // one whose home slot is not between the hole and itself.
    for (size_t j = (hole + 1) & _mask; _slots[j].procedure != nullptr; j = (j + 1) & _mask) {
      const size_t home = _slots[j].hash & _mask;
      if (((j - home) & _mask) >= ((j - hole) & _mask)) {
        _slots[hole] = _slots[j];
        hole = j;
      }
    }
    _slots[hole] = Slot{};
    --_count;
  }

  void Clear() {
    _slots.clear();
    _mask = 0;
    _count = 0;
  }
  size_t Size() const { return _count; }

 private:
  struct Slot {
    uint64_t hash = 0;
    Procedure* procedure = nullptr;  // null: empty slot
  };

  static uint64_t HashOf(std::string_view owner, std::string_view name) {
    const uint64_t h1 = std::hash<std::string_view>()(owner);
    const uint64_t h2 = std::hash<std::string_view>()(name);
    return h1 ^ (h2 + 0x9e3779b97f4a7c15ull + (h1 << 6) + (h1 >> 2));
  }

  // REQUIRES: an empty slot exists.
  void Place(const Slot& slot) {
    size_t i = slot.hash & _mask;
    while (_slots[i].procedure != nullptr) i = (i + 1) & _mask;
    _slots[i] = slot;
  }

  void Grow() {
    std::vector<Slot> old(_slots.size() < 16 ? 16 : 2 * _slots.size());
    old.swap(_slots);
    _mask = _slots.size() - 1;
    for (const Slot& slot : old) {
      if (slot.procedure != nullptr) Place(slot);
    }
  }

  std::vector<Slot> _slots;
  size_t _mask = 0;
  size_t _count = 0;
};

}  // namespace vantic

#endif  // HOST_VANTIC_PROCEDURE_INDEX_H_
