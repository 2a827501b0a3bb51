// Saving a running scene in the engine's tagged file, and loading it to go
// on from the frame it reached.
//
// The file holds, first, one record of the runner's own type (the "dravik
// scene" record, kSceneRecordType) and then one record per scene channel,
// in scene order, each written by the channel itself (SaveChannel). The
// scene record holds:
//   "DRVK" u32   record version (1)
//   "FRAM" u32   the last frame evaluated
//   "SCEN" text  the scene's JSON text, whole: the procedures it defines by
//                expressions, its events and animations go with the file
//   "MOWN" text  owner class of the last PrepareModesList ("" for none)
//   "MODN" u32   n modes: the channel type's modes as they stand (0 without
//                a procedure-call channel), then per mode, in display
//                order, "MDCO" u32 code, "MDSN" text short name, "MDNM"
//                text name (files without "MODN" load: the modes are then
//                prepared again for the "MOWN" owner)
//   "OBJS" u32   n objects, then per object:
//       "OBID" u32 framework id, "OBSC" text scene id, "OBCL" text class,
//       "OBNM" text name, "OBPN" u32 m properties, then per property
//       "PKEY" text key and either "PFLT" float (4 bytes) or "PVEC" three
//       floats (12 bytes), little-endian
//   "CHNS" u32   c channels, then per channel "CHSC" text scene id,
//                "CHID" u32 the channel id its engine part was saved with
//                and, for a procedure-call channel, "CHST" float the
//                status it answered last (files without it load, the
//                status then reads 0)
// Loading rebuilds the procedure registry as it stood at the saved frame
// (the scene's procedures, then its procedure events up to that frame),
// the objects with their ids and properties, every channel through the
// factory and its own LoadChannel, the links from the saved child ids, the
// groups from the saved group names, and the channel type's modes as they
// were saved, which a rename since does not change. A run that saved after
// frame k and one that loads the file and goes on give the same values,
// statuses and messages for every frame after k.
#ifndef RUNNER_SCENE_SCENE_FILE_H_
#define RUNNER_SCENE_SCENE_FILE_H_

#include <string>
#include <string_view>
#include <vector>

#include "runner/scene/scene_runtime.h"

namespace dravik {

inline constexpr std::string_view kSceneRecordType = "7B1E5D2A-9C34-4F6B-8A0D-3E2F1C4B5A69";
inline constexpr uint32_t kSceneRecordVersion = 1;

// Saves `runtime` into *bytes, the whole file (written by run.cc through
// output_file.h). False with *error (one line) when a channel cannot save
// itself.
bool SaveScene(SceneRuntime& runtime, std::vector<uint8_t>* bytes, std::string* error);

// Loads the saved scene `bytes` (of the file `name`) into `runtime`, which
// must be new. False with *error (one line, naming the file and what is
// wrong) on a damaged or foreign file, a channel type no module provides,
// or inconsistent contents.
bool LoadScene(std::vector<uint8_t> bytes, const std::string& name, SceneRuntime& runtime,
               std::string* error);

// Whether `bytes` start like a saved file (the engine's magic).
bool LooksLikeSavedFile(std::string_view bytes);

}  // namespace dravik

#endif  // RUNNER_SCENE_SCENE_FILE_H_
