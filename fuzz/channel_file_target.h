// The channel-file harness: what the fuzzer and the replay test run on one
// input.
//
// The input is taken as an engine channel file, as it is and, when a
// record's checksum fails, once more with every checksum made good (so
// that a mutated record still reaches its channel's loader). Every record
// in it is
// loaded into a channel of its type ("Value", "Value Vector", "CoreRef" or
// the procedure-call channel; a record of any other type goes to one of the
// four, chosen by its GUID's first byte), and every record that loads is
//   1. saved, loaded into a fresh channel of the same kind and saved again:
//      the two saves must be the same record (the channel id excepted,
//      which is each channel's own);
//   2. for a procedure-call channel, given a child of the accepted kind on
//      every link and evaluated: the status must be 0, 1 or 3.
// Memory errors, leaks and undefined behaviour are the sanitizers' to find.
#ifndef FUZZ_CHANNEL_FILE_TARGET_H_
#define FUZZ_CHANNEL_FILE_TARGET_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "hostapi/guid.h"
#include "hostapi/zyr_channel.h"

namespace fuzz_target {

// Most records of one input that are loaded; the rest are ignored.
inline constexpr int kMaxRecordsPerInput = 64;

// Registers the procedures the inputs may name (owner class "Fuzz":
// "Sum" static with floats a, b in and sum out; "Move" not static with a
// vector pos in and out and a float speed in; "Throw" static, whose
// Execute throws), makes object 1 for "CoreRef" children, and silences the
// engine's messages. Idempotent.
void SetUpChannelFile();

// Runs the input. Returns "" when every property held, otherwise one line
// naming the first that did not. REQUIRES: SetUpChannelFile() was called.
std::string RunChannelFile(const uint8_t* data, size_t size);

// Property 1 on its own, for `loaded`, a channel of one of the four kinds
// (`type` names which): "" when it holds, else what broke.
std::string RoundTripFailure(Zyr_Channel& loaded, const GUID& type);

}  // namespace fuzz_target

#endif  // FUZZ_CHANNEL_FILE_TARGET_H_
