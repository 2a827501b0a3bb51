// The one instantiation of the multi-mode template in this module, exported
// whole (members, vtable, typeinfo): the template and both its arguments
// are exported (see ubo_vantic_prc_call.h). Its registry statics
// are explicit specialisations defined with the module's other static
// objects.
#include "plugin/multimode/multi_mode_channel.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

template class MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>;
