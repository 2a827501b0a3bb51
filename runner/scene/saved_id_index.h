// SavedIdIndex: positions by 32-bit channel ids, as a saved file gives
// them, for files of millions of channels.
//
// Engines number channels from 1 up, so ids below twice their count are
// kept in a plain array by id (4 bytes an id; neighbours stay neighbours);
// any other id in an open-addressing table in one block, at most half
// full, made when the first such id comes. Any id may come, 0 and repeats
// included.
#ifndef RUNNER_SCENE_SAVED_ID_INDEX_H_
#define RUNNER_SCENE_SAVED_ID_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dravik {

class SavedIdIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // Room for `count` ids without growing.
  explicit SavedIdIndex(size_t count) : _count(count), _byId(2 * count + 16, kNone) {}

  // Adds id -> position; false, changing nothing, when id is there.
  // REQUIRES: position != kNone, and no more ids than the room asked for.
  bool Insert(uint32_t id, uint32_t position) {
    if (id < _byId.size()) {
      if (_byId[id] != kNone) return false;
      _byId[id] = position;
      return true;
    }
    if (_slots.empty()) {
      size_t capacity = 16;
      while (capacity < 2 * _count) capacity *= 2;
      _slots.assign(capacity, Slot{});
    }
    Slot& slot = _slots[Probe(id)];
    if (slot.position != kNone) return false;
    slot = Slot{id, position};
    return true;
  }

  // The position of `id`, or kNone.
  uint32_t Find(uint32_t id) const {
    if (id < _byId.size()) return _byId[id];
    return _slots.empty() ? kNone : _slots[Probe(id)].position;
  }

 private:
  struct Slot {
    uint32_t id = 0;
    uint32_t position = kNone;  // kNone: an empty slot
  };

  size_t Probe(uint32_t id) const {
    const size_t mask = _slots.size() - 1;
    size_t at = static_cast<size_t>((uint64_t{id} * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    while (_slots[at].position != kNone && _slots[at].id != id) at = (at + 1) & mask;
    return at;
  }

  size_t _count;
  std::vector<uint32_t> _byId;  // by id, for ids below its size
  std::vector<Slot> _slots;     // the other ids
};

}  // namespace dravik

#endif  // RUNNER_SCENE_SAVED_ID_INDEX_H_
