// Shared parameter lists: counted references, and the lists handed out
// last, by procedure.
#include "plugin/procedurecall/shared_param_list.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

// A list, its count of references and, while it is one of the lists
// handed out last, the place its entry keeps it.
struct ParamListRef::Shared {
  VarList* list;
  size_t references;
  Shared** entry;
  uint32_t layout;  // see ParamListRef::Layout
};

namespace {

// One of the lists handed out last; the oldest entry makes room for a new
// one. An entry only observes: it is cleared when its list goes.
struct Entry {
  const Procedure* procedure = nullptr;
  uint32_t revision = 0;
  ParamListRef::Shared* shared = nullptr;
};

constexpr size_t kEntries = 16;

struct Recent {
  std::array<Entry, kEntries> entries;
  size_t next = 0;
};

// Lists handed out for procedures (SharedParamList), and lists loaded
// from saved records (LoadedParamList): the two never mix, since a loaded
// list holds no values of its procedure.
Recent& TheRecent() {
  static Recent recent;
  return recent;
}

Recent& TheRecentLoaded() {
  static Recent recent;
  return recent;
}

// Whether two variables are equal in kind, type, mode, name, value and
// bounds. Values and bounds compare as bytes (a copy holds the same bytes);
// each kind keeps them side by side.
bool SameVariable(VarBase& a, VarBase& b) {
  if (a.Type() != b.Type() || a.Mode() != b.Mode() || std::strcmp(a.Name(), b.Name()) != 0) {
    return false;
  }
  if (a.FloatValue() != nullptr) {
    if (b.FloatValue() == nullptr) return false;
    return std::memcmp(&static_cast<VarFloat&>(a)._value, &static_cast<VarFloat&>(b)._value,
                       3 * sizeof(float)) == 0;
  }
  if (b.VectorValue() == nullptr) return false;
  return std::memcmp(&static_cast<VarVec3&>(a)._value, &static_cast<VarVec3&>(b)._value,
                     3 * sizeof(Vec3)) == 0;
}

bool SameList(const VarList& a, const VarList& b) {
  if (a.Count() != b.Count() || a._thisObject != b._thisObject) return false;
  for (size_t i = 0; i < a.Count(); ++i) {
    if (!SameVariable(*a._vars[i], *b._vars[i])) return false;
  }
  return true;
}

}  // namespace

ParamListRef::ParamListRef(VarList* list) {
  if (list == nullptr) return;
  std::unique_ptr<VarList> owned(list);
  _shared = new Shared{list, 1, nullptr, 0};
  owned.release();
}

VarList* ParamListRef::get() const { return _shared != nullptr ? _shared->list : nullptr; }

uint32_t ParamListRef::Layout() const { return _shared != nullptr ? _shared->layout : 0; }

ParamListRef& ParamListRef::operator=(const ParamListRef& other) {
  if (_shared != other._shared) {
    Shared* next = other._shared;
    if (next != nullptr) ++next->references;
    Release();
    _shared = next;
  }
  return *this;
}

void ParamListRef::Hold() {
  if (_shared != nullptr) ++_shared->references;
}

void ParamListRef::Release() {
  Shared* shared = _shared;
  _shared = nullptr;
  if (shared == nullptr || --shared->references != 0) return;
  if (shared->entry != nullptr) *shared->entry = nullptr;
  delete shared->list;
  delete shared;
}

namespace {

// Remembers `shared` in the oldest entry of `recent`.
void Remember(Recent& recent, const Procedure* procedure, uint32_t revision, ParamListRef::Shared* shared) {
  Entry& entry = recent.entries[recent.next];
  recent.next = (recent.next + 1) % kEntries;
  if (entry.shared != nullptr) entry.shared->entry = nullptr;
  entry.procedure = procedure;
  entry.revision = revision;
  entry.shared = shared;
  shared->entry = &entry.shared;
}

}  // namespace

ParamListRef SharedParamList(const Procedure& procedure) {
  for (Entry& entry : TheRecent().entries) {
    if (entry.shared == nullptr || entry.procedure != &procedure ||
        entry.revision != procedure._revision ||
        !SameList(*entry.shared->list, procedure._params)) {
      continue;
    }
    ParamListRef found;
    found._shared = entry.shared;
    found.Hold();
    return found;
  }
  ParamListRef list(new VarList(procedure._params));
  list._shared->layout = procedure._layout;
  Remember(TheRecent(), &procedure, procedure._revision, list._shared);
  return list;
}

ParamListRef LoadedParamList(const VarList& loaded) {
  for (Entry& entry : TheRecentLoaded().entries) {
    if (entry.shared == nullptr || !SameList(*entry.shared->list, loaded)) continue;
    ParamListRef found;
    found._shared = entry.shared;
    found.Hold();
    return found;
  }
  ParamListRef list(new VarList(loaded));
  Remember(TheRecentLoaded(), nullptr, 0, list._shared);
  return list;
}

ParamListRef OwnParamList(const VarList& list) { return ParamListRef(new VarList(list)); }

ParamListRef OwnParamList() { return ParamListRef(new VarList()); }
