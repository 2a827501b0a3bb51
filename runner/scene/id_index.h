// IdIndex: the positions of a list's items by their ids, for lists of
// millions of items.
//
// An open-addressing table of positions, at most four fifths full: 8
// bytes a slot (a position and part of the id's hash, so that a lookup
// seldom reads an item whose id does not match). The ids stay in the
// items; the table reads them through the caller's `idOf(position)`.
#ifndef RUNNER_SCENE_ID_INDEX_H_
#define RUNNER_SCENE_ID_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "runner/scene/position_table.h"

namespace dravik {

class IdIndex {
 public:
  static constexpr size_t kNone = SIZE_MAX;

  // Indexes positions 0 .. count-1 by idOf(position); of an id given more
  // than once, the first position counts. REQUIRES: count < 2^32.
  template <class IdOf>
  void Build(size_t count, IdOf idOf) {
    _slots.assign(OpenTableCapacity(count), Slot{});
    _count = 0;
    _firstRepeat = kNone;
    for (size_t i = 0; i < count; ++i) {
      const std::string_view id = idOf(i);
      const uint64_t hash = Hash(id);
      size_t at = Probe(id, hash, idOf);
      if (_slots[at].position != 0) {  // a repeat
        if (_firstRepeat == kNone) _firstRepeat = i;
        continue;
      }
      _slots[at] = Slot{static_cast<uint32_t>(i + 1), static_cast<uint32_t>(hash >> 32)};
      ++_count;
    }
  }

  // The first position of `id`, or kNone.
  template <class IdOf>
  size_t Find(std::string_view id, IdOf idOf) const {
    if (_slots.empty()) return kNone;
    const Slot& slot = _slots[Probe(id, Hash(id), idOf)];
    return slot.position == 0 ? kNone : size_t{slot.position} - 1;
  }

  // Distinct ids indexed.
  size_t size() const { return _count; }
  // The first position whose id an earlier position has, or kNone.
  size_t FirstRepeat() const { return _firstRepeat; }
  void clear() {
    _slots.clear();
    _count = 0;
    _firstRepeat = kNone;
  }

 private:
  struct Slot {
    uint32_t position = 0;  // the item's position + 1; 0 for an empty slot
    uint32_t hash = 0;      // the hash's upper half
  };

  static uint64_t Hash(std::string_view id) { return std::hash<std::string_view>{}(id); }

  // The slot holding `id`, or the empty slot where it would go.
  template <class IdOf>
  size_t Probe(std::string_view id, uint64_t hash, IdOf& idOf) const {
    const size_t mask = _slots.size() - 1;
    const auto part = static_cast<uint32_t>(hash >> 32);
    for (size_t at = static_cast<size_t>(hash) & mask;; at = (at + 1) & mask) {
      const Slot& slot = _slots[at];
      if (slot.position == 0) return at;
      if (slot.hash == part && idOf(size_t{slot.position} - 1) == id) return at;
    }
  }

  std::vector<Slot> _slots;
  size_t _count = 0;
  size_t _firstRepeat = kNone;
};

}  // namespace dravik

#endif  // RUNNER_SCENE_ID_INDEX_H_
