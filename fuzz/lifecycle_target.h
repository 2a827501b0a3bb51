// The lifecycle harness: what the lifecycle fuzzer and the LifecycleModel
// test run on one input.
//
// The input is read as a sequence of operations: make procedure-call
// channels with InitDLL, copy and destroy them; set their owner class and
// procedure name; register, rename, change (static flag included), remove
// and register again procedures, and let procedures change (static flag
// flipped), rename or remove themselves while they run; make "Value",
// "Value Vector" and "CoreRef" channels and plug, unplug and re-plug any
// channel into any link, call channels and loops included; advance the
// render count and read channels in any order; PrepareModesList,
// SetCurrentMode, UpdatePrc; save one channel or all and load them into
// new channels. While a channel is evaluated, procedure bodies and acting
// children (float channels that act when read) call UpdatePrc,
// LoadChannel, SetCurrentMode and PrepareModesList on any call channel,
// the one evaluating and those evaluating it included, and remove
// procedures; retired procedures are freed as soon as nothing reaches
// them. Each operation
// runs on the module, through the host libraries, and on the reference
// model (lifecycle_model.h); after each the two must agree on every
// channel's status, name, owner class and procedure name, static flag,
// parameters, current mode, binding, links (names, kinds, order and what
// is plugged), the values written into the plugged channels, the mode
// registry, the number of level-1 and level-2 reports and the text
// FormatTempString holds. A loaded channel must also save a record that
// loads back the same.
#ifndef FUZZ_LIFECYCLE_TARGET_H_
#define FUZZ_LIFECYCLE_TARGET_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace lifecycle {

// Most operations taken from one input; the rest is ignored.
inline constexpr int kMaxSteps = 256;

// Makes framework object 1 (the one "CoreRef" channels may refer to).
// Idempotent.
void SetUpLifecycle();

// Runs the input. Returns "" when module and model agreed throughout,
// otherwise one line naming the step and what differed. Leaves no channel
// and no live procedure behind. REQUIRES: SetUpLifecycle() was called.
std::string RunLifecycle(const uint8_t* data, size_t size);

}  // namespace lifecycle

#endif  // FUZZ_LIFECYCLE_TARGET_H_
