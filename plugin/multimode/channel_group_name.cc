#include "hostapi/zyr_channel.h"
#include "plugin/diagnostics/diagnostic_report.h"
#include "plugin/multimode/multi_mode_channel.h"

const char* GetChannelGroupName(Zyr_Channel* ch) {
  if (ch == nullptr) {
    ReportAssertionFailure("GetChannelGroupName", "ch");
    return "";
  }
  Zyr_ChannelGroup* group = ch->GetChannelGroup();
  return group != nullptr ? group->GetGroupName() : "";
}
