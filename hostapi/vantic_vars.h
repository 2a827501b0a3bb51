// Parameter variables of the object framework: VarBase, VarFloat, VarVec3,
// and VarList, the ordered list that owns them.
#ifndef HOSTAPI_VANTIC_VARS_H_
#define HOSTAPI_VANTIC_VARS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

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

class VanticObject;

// One typed, named parameter.
//
// Layout (x86-64): vptr 0, _type 8, _mode 12, _name 14..269, _reserved 272;
// sizeof 280 with padding. VarFloat adds value, minimum, maximum (floats);
// VarVec3 adds three Vec3.
class VANTIC_API VarBase {
 public:
  // Stores the type, the mode's low 16 bits and the name. A type of
  // VarType_MAX or more (taken as signed) is reported at level 1 as
  // "VarBase::VarBase().type<VarType_MAX" and kept. A name of 256 or more
  // characters is cut to 255; a null name is empty.
  VarBase(int32_t type, uint32_t mode, const char* name);
  VarBase(const VarBase&) = default;
  VarBase& operator=(const VarBase&) = default;
  virtual ~VarBase();

  int32_t Type() const { return _type; }
  uint16_t Mode() const { return _mode; }
  const char* Name() const { return _name; }

  // A new copy of the same dynamic type; the caller owns it.
  virtual VarBase* Clone() const = 0;

 protected:
  int32_t _type;
  uint16_t _mode;
  char _name[kVarNameSize];
  uint32_t _reserved;
};

class VANTIC_API VarFloat final : public VarBase {
 public:
  VarFloat(int32_t type, uint32_t mode, const char* name, float value, float minimum,
           float maximum);
  VarBase* Clone() const override;

  float _value;
  float _min;
  float _max;
};

class VANTIC_API VarVec3 final : public VarBase {
 public:
  VarVec3(int32_t type, uint32_t mode, const char* name, const Vec3& value,
          const Vec3& minimum, const Vec3& maximum);
  VarBase* Clone() const override;

  Vec3 _value;
  Vec3 _min;
  Vec3 _max;
};

// An ordered list that owns copies of its variables. `_vars` is counted and
// indexed directly (`_vars.size()`, `_vars[i]`); do not change it by hand.
// `_thisObject` is the target object of a procedure that is not static,
// filled by ProcedureForVesk::FromDataChannelToVar from the "This" link.
class VANTIC_API VarList {
 public:
  VarList();
  // Deep copies: the new list owns its own copies of the variables.
  VarList(const VarList& other);
  VarList& operator=(const VarList& other);
  virtual ~VarList();

  // Append a copy.
  void AddVar(const VarFloat& var);
  void AddVar(const VarVec3& var);
  // Append copies of every variable of `other` (which may be *this).
  void AddVars(const VarList& other);
  // Deletes every variable.
  void ClearVars();

  size_t Count() const { return _vars.size(); }
  // The first variable named `name`, or null.
  VarBase* Find(const char* name) const;

  std::vector<VarBase*> _vars;
  VanticObject* _thisObject;
};

#endif  // HOSTAPI_VANTIC_VARS_H_
