// VarBase, VarFloat and VarVec3.
#include <cstring>
#include <new>

#include "hostapi/engine_interface.h"
#include "hostapi/vantic_vars.h"

namespace {

// The constructor's report for a type out of range: the head, "()." and
// the condition, shown at level 1. Fixed text, never a format.
constexpr char kBadTypeReport[] = "VarBase::VarBase().type<VarType_MAX";

}  // namespace

VarBase::VarBase(int32_t type, uint32_t mode, const char* name)
    : _type(type), _mode(static_cast<uint16_t>(mode & 0xFFFFu)), _name(), _reserved(0) {
  if (type >= VarType_MAX && globalEngine != nullptr) {
    globalEngine->_showDebugMessage[1](kBadTypeReport);
  }
  if (name != nullptr) {
    // At most kVarNameSize - 1 characters; the rest of _name stays 0.
    const size_t length = ::strnlen(name, kVarNameSize - 1);
    std::memcpy(_name, name, length);
  }
}

VarBase::~VarBase() = default;

void VarBase::CopyWholeName(const VarBase& other) { std::memcpy(_name, other._name, kVarNameSize); }

VarFloat::VarFloat(int32_t type, uint32_t mode, const char* name, float value, float minimum,
                   float maximum)
    : VarBase(type, mode, name), _value(value), _min(minimum), _max(maximum) {}

VarBase* VarFloat::Clone() const { return new VarFloat(*this); }

VarBase* VarFloat::CopyTo(void* where) const { return new (where) VarFloat(*this); }

VarVec3::VarVec3(int32_t type, uint32_t mode, const char* name, const Vec3& value,
                 const Vec3& minimum, const Vec3& maximum)
    : VarBase(type, mode, name), _value(value), _min(minimum), _max(maximum) {}

VarBase* VarVec3::Clone() const { return new VarVec3(*this); }

VarBase* VarVec3::CopyTo(void* where) const { return new (where) VarVec3(*this); }
