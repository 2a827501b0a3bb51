// Parameter variables of the object framework: VarBase, VarFloat, VarVec3,
// and VarList, the ordered list that owns them.
#ifndef HOSTAPI_VANTIC_VARS_H_
#define HOSTAPI_VANTIC_VARS_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "hostapi/export.h"
#include "hostapi/float_channel.h"

enum VarType : int32_t {
  VarType_Float = 0,
  VarType_Vec3 = 1,
  VarType_MAX = 2,
};

// Parameter modes (bit 1 input, bit 2 output).
enum VarMode : uint16_t {
  VarMode_In = 1,
  VarMode_Out = 2,
  VarMode_InOut = 3,
};

inline constexpr size_t kVarNameSize = 256;  // characters with the NUL
// Names shorter than this move as one fixed-size piece (see
// VarBase::operator=).
inline constexpr size_t kVarShortName = 16;

class VanticObject;

// One typed, named parameter.
//
// Layout, with P the pointer size: vptr 0, _type P, _mode P+4, _name
// P+6..P+261, _reserved P+264; P+268 bytes rounded up to the pointer's
// alignment. A derived class continues at P+268 (in the base's tail padding
// where there is some): VarFloat adds value, minimum, maximum (3 floats,
// 12 bytes); VarVec3 adds three Vec3 (36 bytes). x86-64: 280, 288, 312;
// 32-bit x86: 272, 284, 308.
//
// Every byte of the name field past the name's terminator is zero: the
// constructor clears the field, and copies and assignments keep it so.
class VANTIC_API VarBase {
 public:
  // Stores the type, the mode's low 16 bits and the name. A type of
  // VarType_MAX or more (taken as signed) is reported at level 1 as
  // "VarBase::VarBase().type<VarType_MAX" and kept. A name of 256 or more
  // characters is cut to 255; a null name is empty.
  VarBase(int32_t type, uint32_t mode, const char* name);
  VarBase(const VarBase&) = default;
  // Takes over type, mode, name and the reserved field. When both names are
  // shorter than kVarShortName, only that first piece of the field moves:
  // the bytes behind it are zero on both sides.
  VarBase& operator=(const VarBase& other) {
    if (this != &other) AssignFields(other);
    return *this;
  }
  virtual ~VarBase();

  int32_t Type() const { return _type; }
  uint16_t Mode() const { return _mode; }
  const char* Name() const { return _name; }

  // A new copy of the same dynamic type; the caller owns it (delete).
  virtual VarBase* Clone() const = 0;
  // Bytes a copy of the same dynamic type needs (see CopyTo).
  virtual size_t StorageSize() const = 0;
  // Copy-constructs a copy of the same dynamic type at `where` and returns
  // it. The caller owns the copy and ends it with ~VarBase(), never delete.
  // REQUIRES: `where` holds StorageSize() bytes aligned to kVarAlignment.
  virtual VarBase* CopyTo(void* where) const = 0;

  // The value of a float variable (VarFloat) / of a vector variable
  // (VarVec3); null for the other kind. The dynamic kind decides, not
  // Type(): the converters rely on it to never write the wrong field.
  virtual float* FloatValue() { return nullptr; }
  virtual Vec3* VectorValue() { return nullptr; }

 private:
  void CopyWholeName(const VarBase& other);

 protected:
  // operator= without the check for self-assignment. REQUIRES: &other !=
  // this.
  void AssignFields(const VarBase& other) {
    _type = other._type;
    _mode = other._mode;
    if ((other._name[kVarShortName - 1] | _name[kVarShortName - 1]) == 0) {
      std::memcpy(_name, other._name, kVarShortName);
    } else {
      CopyWholeName(other);
    }
    _reserved = other._reserved;
  }

  int32_t _type;
  uint16_t _mode;
  char _name[kVarNameSize];
  uint32_t _reserved;
};

// Alignment of every copy a VarList keeps in its block.
inline constexpr size_t kVarAlignment = 16;

class VANTIC_API VarFloat final : public VarBase {
 public:
  VarFloat(int32_t type, uint32_t mode, const char* name, float value, float minimum,
           float maximum);
  VarFloat(const VarFloat&) = default;
  VarFloat& operator=(const VarFloat&) = default;
  VarBase* Clone() const override;
  size_t StorageSize() const override { return sizeof(VarFloat); }
  VarBase* CopyTo(void* where) const override;
  float* FloatValue() override { return &_value; }
  // operator= of a variable known to be another one (no self check).
  void AssignFrom(const VarFloat& other) {
    AssignFields(other);
    _value = other._value;
    _min = other._min;
    _max = other._max;
  }

  float _value;
  float _min;
  float _max;
};

class VANTIC_API VarVec3 final : public VarBase {
 public:
  VarVec3(int32_t type, uint32_t mode, const char* name, const Vec3& value, const Vec3& minimum,
          const Vec3& maximum);
  VarVec3(const VarVec3&) = default;
  VarVec3& operator=(const VarVec3&) = default;
  VarBase* Clone() const override;
  size_t StorageSize() const override { return sizeof(VarVec3); }
  VarBase* CopyTo(void* where) const override;
  Vec3* VectorValue() override { return &_value; }
  // operator= of a variable known to be another one (no self check).
  void AssignFrom(const VarVec3& other) {
    AssignFields(other);
    _value = other._value;
    _min = other._min;
    _max = other._max;
  }

  Vec3 _value;
  Vec3 _min;
  Vec3 _max;
};

namespace var_layout {
inline constexpr size_t kPointer = sizeof(void*);
inline constexpr size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }
inline constexpr size_t kBaseData = kPointer + 268;  // vptr + fields
}  // namespace var_layout
static_assert(sizeof(VarBase) == var_layout::RoundUp(var_layout::kBaseData, alignof(void*)));
static_assert(sizeof(VarFloat) == var_layout::RoundUp(var_layout::kBaseData + 12, alignof(void*)));
static_assert(sizeof(VarVec3) == var_layout::RoundUp(var_layout::kBaseData + 36, alignof(void*)));
static_assert(sizeof(void*) != 8 || sizeof(VarBase) == 280);
static_assert(sizeof(void*) != 4 || sizeof(VarBase) == 272);
static_assert(alignof(VarFloat) <= kVarAlignment && alignof(VarVec3) <= kVarAlignment);

// The variables of a VarList, in order: counted with size(), read with
// operator[] (or at(), or a range-for). Read-only: the list changes only
// through VarList's own operations.
class VANTIC_API VarArray {
 public:
  using value_type = VarBase*;
  using const_iterator = VarBase* const*;

  size_t size() const { return _count; }
  bool empty() const { return _count == 0; }
  // REQUIRES: i < size(); an index out of range stops the program (as a
  // checked standard container does), it never reads outside the list.
  VarBase* operator[](size_t i) const {
    if (i >= _count) std::abort();
    return _items[i];
  }
  // Throws std::out_of_range when i >= size().
  VarBase* at(size_t i) const {
    if (i >= _count) throw std::out_of_range("VarArray::at");
    return _items[i];
  }
  VarBase* front() const { return (*this)[0]; }
  VarBase* back() const { return (*this)[_count - 1]; }
  const_iterator begin() const { return _items; }
  const_iterator end() const { return _items + _count; }

 private:
  friend class VarList;
  VarBase** _items = nullptr;
  size_t _count = 0;
};

// An ordered list that owns copies of its variables. `_vars` is counted and
// indexed directly (`_vars.size()`, `_vars[i]`). `_thisObject` (not owned)
// is the target object of a procedure that is not static, filled by
// ProcedureForVesk::FromDataChannelToVar from the "This" link; copies carry
// it over.
//
// Storage: one heap block per list holding the pointer array and, behind
// it, every variable object, placement-constructed:
//
//   block + 0                      VarBase* items[_itemCapacity]
//   block + ItemBytes(capacity)    objects, each at a multiple of
//                                  kVarAlignment, StorageSize() rounded up
//
// so copying a list costs one allocation whatever its length. Adds that
// outgrow the block move everything into a block twice as large.
class VANTIC_API VarList {
 public:
  VarList();
  // Deep copies: the new list owns its own copies of the variables.
  VarList(const VarList& other);
  // A list holding variables of the same kinds, in the same order, as
  // `other` keeps them and assigns each (no allocation); any other list
  // gets a fresh copy. Either way, afterwards it holds copies of `other`'s
  // variables and its target object. Throws std::bad_alloc, changing
  // nothing, when a fresh copy cannot be made.
  VarList& operator=(const VarList& other);
  // Moves take the other list's block; `other` is left empty.
  VarList(VarList&& other) noexcept;
  VarList& operator=(VarList&& other) noexcept;
  virtual ~VarList();

  // Append a copy.
  void AddVar(const VarFloat& var);
  void AddVar(const VarVec3& var);
  // Append copies of every variable of `other` (which may be *this: the
  // variables then stand twice).
  void AddVars(const VarList& other);
  // Ends every variable; the block is kept for the next adds.
  void ClearVars();

  size_t Count() const { return _vars.size(); }
  // The value of variable i when it is a VarFloat / a VarVec3, else null:
  // FloatValue() / VectorValue() of _vars[i], told by the kinds the list
  // records without a virtual call. REQUIRES: i < Count().
  float* FloatValueAt(size_t i) const {
    if (i >= kKindBits) return _vars[i]->FloatValue();
    return ((_vectorKinds >> i) & 1) ? nullptr : &static_cast<VarFloat*>(_vars._items[i])->_value;
  }
  Vec3* VectorValueAt(size_t i) const {
    if (i >= kKindBits) return _vars[i]->VectorValue();
    return ((_vectorKinds >> i) & 1) ? &static_cast<VarVec3*>(_vars._items[i])->_value : nullptr;
  }
  // The first variable named `name`, or null (also for a null name).
  VarBase* Find(const char* name) const;

  VarArray _vars;
  VanticObject* _thisObject;

 private:
  void Append(const VarBase& var);
  // operator='s way without allocation: true, having assigned every
  // variable, when both lists hold the same kinds in the same order.
  bool AssignInPlace(const VarList& other);
  // operator='s other way: a fresh copy. Out of line, so that the way in
  // place keeps a short frame.
  void AssignCopy(const VarList& other);
  // Most variables whose kinds _vectorKinds records.
  static constexpr size_t kKindBits = 64;
  void AppendCopies(const VarList& source);
  // Makes room for `moreItems` more variables of `moreBytes` more object
  // bytes.
  void Reserve(size_t moreItems, size_t moreBytes);
  void Release();
  void Swap(VarList& other) noexcept;
  char* Objects() const;

  char* _block;
  size_t _itemCapacity;
  size_t _bytesUsed;
  size_t _byteCapacity;
  // Bit i set: variable i is a VarVec3, clear: a VarFloat (i < kKindBits).
  // A variable's kind never changes in place, so the bits change only with
  // the list's own operations.
  uint64_t _vectorKinds;
};

#endif  // HOSTAPI_VANTIC_VARS_H_
