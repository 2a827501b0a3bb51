// InitDLL: the engine's way to make a procedure-call channel.
#include <new>

#include "plugin/entry/entry.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

extern "C" VPC_PLUGIN_API DllInterface* InitDLL() {
  // Nothing may unwind into the engine: a channel that cannot be made is
  // answered as null, whatever stopped it.
  try {
    return new Ubo_VanticPrcCall();
  } catch (...) {
    return nullptr;
  }
}
