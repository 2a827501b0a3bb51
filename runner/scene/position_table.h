// PositionTable: 32-bit positions by 64-bit keys (channel addresses, saved
// channel ids), for scenes of millions of channels.
//
// An open-addressing table in one block, at most four fifths full: 16
// bytes a slot, no node a key. Any key may come.
#ifndef RUNNER_SCENE_POSITION_TABLE_H_
#define RUNNER_SCENE_POSITION_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dravik {

// Slots an open-addressing table of `count` items takes: a power of two
// at least a quarter over the count (at most four fifths full).
inline size_t OpenTableCapacity(size_t count) {
  size_t capacity = 16;
  while (capacity < count + count / 4) capacity *= 2;
  return capacity;
}

class PositionTable {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // Room for `count` keys.
  explicit PositionTable(size_t count) : _slots(OpenTableCapacity(count)) {
    for (size_t size = _slots.size(); size > 1; size /= 2) --_shift;
  }

  // Adds key -> position; false, changing nothing, when key is there.
  // REQUIRES: position != kNone, and no more keys than the room asked for.
  bool Insert(uint64_t key, uint32_t position) {
    Slot& slot = _slots[Probe(key)];
    if (slot.position != kNone) return false;
    slot = Slot{key, position};
    return true;
  }

  // The position of `key`, or kNone.
  uint32_t Find(uint64_t key) const { return _slots[Probe(key)].position; }

 private:
  struct Slot {
    uint64_t key = 0;
    uint32_t position = kNone;  // kNone: an empty slot
  };

  // The slot holding `key`, or the empty one where it would go. Fibonacci
  // hashing: the product's top bits mix all of the key's, so addresses
  // and ids that step evenly spread over the table.
  size_t Probe(uint64_t key) const {
    const size_t mask = _slots.size() - 1;
    size_t at = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> _shift);
    while (_slots[at].position != kNone && _slots[at].key != key) at = (at + 1) & mask;
    return at;
  }

  std::vector<Slot> _slots;
  int _shift = 64;  // 64 less the table's bits
};

}  // namespace dravik

#endif  // RUNNER_SCENE_POSITION_TABLE_H_
