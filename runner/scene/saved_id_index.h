// SavedIdIndex: positions by 32-bit channel ids, as a saved file gives
// them, for files of millions of channels.
//
// Engines number channels from 1 up, so ids below twice their count are
// kept in a plain array by id (4 bytes an id; neighbours stay neighbours);
// any other id in a PositionTable, made when the first such id comes. Any
// id may come, 0 and repeats included.
#ifndef RUNNER_SCENE_SAVED_ID_INDEX_H_
#define RUNNER_SCENE_SAVED_ID_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "runner/scene/position_table.h"

namespace dravik {

class SavedIdIndex {
 public:
  static constexpr uint32_t kNone = PositionTable::kNone;

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
    if (!_others) _others.emplace(_count);
    return _others->Insert(id, position);
  }

  // The position of `id`, or kNone.
  uint32_t Find(uint32_t id) const {
    if (id < _byId.size()) return _byId[id];
    return _others ? _others->Find(id) : kNone;
  }

 private:
  size_t _count;
  std::vector<uint32_t> _byId;           // by id, for ids below its size
  std::optional<PositionTable> _others;  // the other ids
};

}  // namespace dravik

#endif  // RUNNER_SCENE_SAVED_ID_INDEX_H_
