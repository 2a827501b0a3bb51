// A small channel module for the loader's tests. The build makes several
// from this file, each with its own file name and defects:
//   MODULE_GUID               type GUID of the record
//   MODULE_BASE               base type GUID (default: the float channel)
//   MODULE_VERSION            interface version (default 7)
//   MODULE_NO_INITDLL         InitDLL not exported
//   MODULE_UNTERMINATED_NAME  the 80 name bytes hold no NUL
//   MODULE_NOT_A_CHANNEL      InitDLL makes an object that is no channel
#include <cstring>

#include "hostapi/export.h"
#include "hostapi/float_channel.h"
#include "hostapi/module.h"

#ifndef MODULE_BASE
#define MODULE_BASE "BE69CCC4-CFC1-4362-AC81-767D199BBFC3"
#endif
#ifndef MODULE_VERSION
#define MODULE_VERSION 7
#endif

namespace {

class TestChannel final : public Ubo_FloatChannel {
 public:
  float GetFloat() override {
    if (CheckRenderCount()) Ubo_FloatChannel::SetFloat(_value + 1.0f);
    return _value;
  }
};

class NotAChannel final : public DllInterface {};

ChannelType record;

}  // namespace

extern "C" HOSTAPI_VISIBLE ChannelType* GetType() {
#ifdef MODULE_UNTERMINATED_NAME
  std::memset(record._name, 'x', sizeof(record._name));
#else
  std::strcpy(record._name, "EngineTestChannel");
#endif
  record._typeGuid = guid::FromString(MODULE_GUID);
  record._baseTypeGuid = guid::FromString(MODULE_BASE);
  record._interfaceVersion = MODULE_VERSION;
  return &record;
}

#ifndef MODULE_NO_INITDLL
extern "C" HOSTAPI_VISIBLE DllInterface* InitDLL() {
#ifdef MODULE_NOT_A_CHANNEL
  return new NotAChannel();
#else
  return new TestChannel();
#endif
}
#endif
