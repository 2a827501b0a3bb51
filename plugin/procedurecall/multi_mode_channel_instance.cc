// The one instantiation of the multi-mode template in this module, exported
// whole (members, vtable, typeinfo): its export comes from the explicit
// instantiation declaration in ubo_vantic_prc_call.h, which precedes every
// use (repeating the attribute here would be ignored). Its registry statics
// are explicit specialisations defined with the module's other static
// objects.
#include "plugin/multimode/multi_mode_channel.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

template class MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>;
