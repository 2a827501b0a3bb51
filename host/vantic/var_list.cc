// VarList: the owned, ordered list of variables, kept in one block.
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "hostapi/vantic_vars.h"

namespace {

size_t RoundUp(size_t bytes) { return (bytes + kVarAlignment - 1) / kVarAlignment * kVarAlignment; }

// Bytes of the pointer array in front of the objects, kept a multiple of
// kVarAlignment so the first object is aligned.
size_t ItemBytes(size_t capacity) { return RoundUp(capacity * sizeof(VarBase*)); }

}  // namespace

VarList::VarList()
    : _thisObject(nullptr),
      _block(nullptr),
      _itemCapacity(0),
      _bytesUsed(0),
      _byteCapacity(0),
      _vectorKinds(0) {}

VarList::VarList(const VarList& other) : VarList() {
  _thisObject = other._thisObject;
  if (other._vars._count == 0) return;
  // Exactly the room the other list uses; every copy keeps its offset.
  Reserve(other._vars._count, other._bytesUsed);
  AppendCopies(other);
}

// Inline: the working copy of every evaluation takes this way.
inline bool VarList::AssignInPlace(const VarList& other) {
  const size_t count = _vars._count;
  if (count != other._vars._count || count > kKindBits || _vectorKinds != other._vectorKinds) {
    return false;
  }
  // Two lists never share a variable, so no variable is assigned to itself.
  VarBase* const* mine = _vars._items;
  const VarBase* const* theirs = other._vars._items;
  const uint64_t kinds = _vectorKinds;
  for (size_t i = 0; i < count; ++i) {
    if ((kinds >> i) & 1) {
      static_cast<VarVec3&>(*mine[i]).AssignFrom(static_cast<const VarVec3&>(*theirs[i]));
    } else {
      static_cast<VarFloat&>(*mine[i]).AssignFrom(static_cast<const VarFloat&>(*theirs[i]));
    }
  }
  _thisObject = other._thisObject;
  return true;
}

VarList& VarList::operator=(const VarList& other) {
  if (this != &other && !AssignInPlace(other)) AssignCopy(other);
  return *this;
}

__attribute__((noinline)) void VarList::AssignCopy(const VarList& other) {
  VarList copy(other);
  Swap(copy);
}


VarList::VarList(VarList&& other) noexcept : VarList() { Swap(other); }

VarList& VarList::operator=(VarList&& other) noexcept {
  if (this != &other) {
    VarList taken(std::move(other));
    Swap(taken);
  }
  return *this;
}

VarList::~VarList() { Release(); }

void VarList::AddVar(const VarFloat& var) {
  Reserve(1, RoundUp(var.StorageSize()));
  Append(var);
}

void VarList::AddVar(const VarVec3& var) {
  Reserve(1, RoundUp(var.StorageSize()));
  if (_vars._count < kKindBits) _vectorKinds |= uint64_t{1} << _vars._count;
  Append(var);
}

void VarList::AddVars(const VarList& other) {
  if (&other == this) {
    // Growing would end the very variables being copied: copy them first.
    const VarList snapshot(other);
    AddVars(snapshot);
    return;
  }
  Reserve(other._vars._count, other._bytesUsed);
  AppendCopies(other);
}

void VarList::ClearVars() {
  for (size_t i = 0; i < _vars._count; ++i) _vars._items[i]->~VarBase();
  _vars._count = 0;
  _bytesUsed = 0;
  _vectorKinds = 0;
}

VarBase* VarList::Find(const char* name) const {
  if (name == nullptr) return nullptr;
  for (VarBase* var : _vars) {
    if (std::strcmp(var->Name(), name) == 0) return var;
  }
  return nullptr;
}

char* VarList::Objects() const { return _block + ItemBytes(_itemCapacity); }

// REQUIRES: Reserve made room for `var`.
void VarList::Append(const VarBase& var) {
  _vars._items[_vars._count] = var.CopyTo(Objects() + _bytesUsed);
  ++_vars._count;
  _bytesUsed += RoundUp(var.StorageSize());
}

void VarList::Reserve(size_t moreItems, size_t moreBytes) {
  const size_t needItems = _vars._count + moreItems;
  const size_t needBytes = _bytesUsed + moreBytes;
  if (needItems <= _itemCapacity && needBytes <= _byteCapacity) return;

  // A list that already holds variables grows geometrically, so a run of
  // single adds stays linear; a first reservation takes what it is asked.
  size_t itemCapacity = needItems;
  size_t byteCapacity = needBytes;
  if (_vars._count != 0) {
    itemCapacity = std::max(needItems, 2 * _itemCapacity);
    byteCapacity = std::max(needBytes, 2 * _byteCapacity);
  }
  char* block = static_cast<char*>(::operator new(ItemBytes(itemCapacity) + byteCapacity));

  // Move every variable into the new block at the same offset; the old
  // block ends with `old`. Copies of these records cannot throw.
  VarList old;
  Swap(old);  // `old` now holds the variables, *this nothing
  _thisObject = old._thisObject;
  _block = block;
  _vars._items = static_cast<VarBase**>(static_cast<void*>(block));
  _itemCapacity = itemCapacity;
  _byteCapacity = byteCapacity;
  AppendCopies(old);
}

// Appends copies of every variable of `source` (another list), laid out
// behind the objects already here as they lie in `source`'s block.
// REQUIRES: Reserve made room for them.
void VarList::AppendCopies(const VarList& source) {
  const char* sourceObjects = source.Objects();
  char* objects = Objects() + _bytesUsed;
  for (size_t i = 0; i < source._vars._count; ++i) {
    const VarBase* var = source._vars._items[i];
    const size_t offset = static_cast<size_t>(reinterpret_cast<const char*>(var) - sourceObjects);
    _vars._items[_vars._count + i] = var->CopyTo(objects + offset);
  }
  if (_vars._count < kKindBits) _vectorKinds |= source._vectorKinds << _vars._count;
  _vars._count += source._vars._count;
  _bytesUsed += source._bytesUsed;
}

void VarList::Release() {
  ClearVars();
  ::operator delete(_block);
  _block = nullptr;
  _vars._items = nullptr;
  _itemCapacity = 0;
  _byteCapacity = 0;
}

void VarList::Swap(VarList& other) noexcept {
  std::swap(_vars._items, other._vars._items);
  std::swap(_vars._count, other._vars._count);
  std::swap(_thisObject, other._thisObject);
  std::swap(_block, other._block);
  std::swap(_itemCapacity, other._itemCapacity);
  std::swap(_bytesUsed, other._bytesUsed);
  std::swap(_byteCapacity, other._byteCapacity);
  std::swap(_vectorKinds, other._vectorKinds);
}
