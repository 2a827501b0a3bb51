// MultiModeChannel<Base, Derived>: gives a channel class a set of modes.
//
// A mode is an unsigned 32-bit code with a name, a short name and the child
// links a channel gets while the mode is current. Modes are per channel type:
// the registry lives in static members of the instantiation, shared by every
// instance of `Derived`, built on first need through Derived's
// InitializeModes() and emptied when the last instance is destroyed.
//
// Besides the registry, the template switches a channel between modes and
// declares each mode's child links to the engine, names the channel after its
// mode, prefixes the channel's own diagnostic messages with its context, and
// saves the current mode ("MODE") and the auto-naming flag ("UACN").
//
// Reports are made through DiagnosticReport at level 1 with heads of the form
// "MultiModeChannel<class <Base>,class <Derived>>::<Operation>", spelled from
// ChannelClassName<Base> and ChannelClassName<Derived>.
//
// The template carries VPC_PLUGIN_API: an instantiation over exported
// classes is exported whole (members, vtable, typeinfo); one over a hidden
// class stays hidden.
//
// REQUIRES: ChannelClassName<Base> and ChannelClassName<Derived> are
// specialised; Derived derives from MultiModeChannel<Base, Derived>.
#ifndef PLUGIN_MULTIMODE_MULTI_MODE_CHANNEL_H_
#define PLUGIN_MULTIMODE_MULTI_MODE_CHANNEL_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/engine_interface.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_channel_extension.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"
#include "plugin/entry/plugin_export.h"
#include "plugin/multimode/channel_class_name.h"
#include "plugin/multimode/mode_description.h"

// Name of the channel's group: the group's own name (may be null) when the
// channel has a group, "" when it has none. A null `ch` is reported
// ("GetChannelGroupName().ch") and answers "".
const char* GetChannelGroupName(Zyr_Channel* ch);

template <class Base, class Derived>
class VPC_PLUGIN_API MultiModeChannel : public Base, public ChannelExtension<Base> {
 public:
  using ModeMap = std::map<uint32_t, ModeDescription>;

  // Counts the instance, tells the engine it has no child links yet, and
  // sets no mode (_currentMode is kNoMode).
  MultiModeChannel();
  // Copies every field; counts the instance. Neither CE_SetSelf nor a link
  // declaration: the copy's next SetCurrentMode does that.
  MultiModeChannel(const MultiModeChannel& other);
  // Assigns the bases and every field; the count is unchanged.
  MultiModeChannel& operator=(const MultiModeChannel& other);
  // Uncounts the instance; the last one empties the registry (ClearModes)
  // and drops its own declared links. A count already at 0 is reported
  // ("_refCount>0") and stays 0.
  ~MultiModeChannel() override;

  // ---- Base overrides ----
  // Engine part first (false stops), then "MODE" (4 bytes) and "UACN" (1).
  bool SaveChannel(ZyrFileSaver& saver) override;
  // Engine part first (false stops), then "MODE" into _loadedMode (0 when
  // missing) and "UACN"; a block of the wrong size is refused with a report
  // as if missing. With _bAutoSetModeOnLoad, switches to the loaded mode.
  bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) override;

  // ---- virtual operations added by the template, in slot order ----
  // Registers the type's modes; called only by BuildModesList.
  virtual void InitializeModes() = 0;
  // Hook for an editor's OK; does nothing here.
  virtual void OnClickedOK();
  // Called once a new mode has taken effect; does nothing here.
  virtual void ModeIsSet();
  // Names the channel _namePrefix + the current mode's short name, or
  // _namePrefix + "UnknownMode[<code>]" when the mode is not registered.
  virtual void SetAutoChannelName();

 protected:
  // "<prefix><short name>." (registered current mode only) + "CGR[<group>]"
  // + ".Channel[<name>]." + message. A null message is reported and
  // nothing is appended for it. Throws std::bad_alloc when memory runs out.
  virtual const std::string GetPrefixedMessage(const char* message);

 public:
  // ---- ChannelExtension overrides ----
  // Appends a link to the mode being collected (_initMode). Null texts are
  // reported and nothing is stored. Throws std::out_of_range when the mode
  // has no work entry (InitMode was not called for it).
  void CreateLink(GUID TypeGuid, const char* TypeName, const char* Name, int LinkMode,
                  bool NoLinkIndex) override;
  // Name of link `link` of the current mode; "" (reported) when the mode is
  // not registered or the link is out of range. Never null.
  const char* GetChildLinkName(unsigned int link) override;

  // ---- registry ----
  // Registers a mode with a copy of the links collected for it so far
  // (InitMode, CreateLink) and appends it to the display order. The first
  // mode registered makes this instance's current mode 0 when it had none.
  // Empty names are reported and registered. A code already registered is
  // refused silently: its first description and the display order stay.
  // A code above kMaxModeCode is refused with a report
  // ("ModeCodeTooLarge.Mode[<code>]"). Throws std::out_of_range, changing
  // nothing, for a registered code whose work entry is gone.
  void AddMode(uint32_t mode, const std::string& shortName, const std::string& name);
  // Builds the registry through InitializeModes once: again only after
  // ClearModes, or with `force` (which does not empty the registry, so
  // InitializeModes meets its registered codes and AddMode's
  // std::out_of_range passes through, leaving the registry not built).
  void BuildModesList(bool force);
  // Empties the registry; this instance gets no mode and no links.
  void ClearModes();
  uint32_t GetModeCount();
  // The code at display position `index`; 0xFFFFFFFF (reported) when out of
  // range.
  uint32_t GetModeFromIndex(uint32_t index);
  // The display position of `mode`; 0 when not registered (no report).
  uint32_t GetIndexFromMode(uint32_t mode);
  bool IsModeValid(uint32_t mode);
  // The description of `mode`, or null (reported).
  const ModeDescription* GetModeDescription(uint32_t mode) const;
  // Appends every mode's Name in display order (`names` is not emptied). An
  // empty registry, or a listed code without description, is reported; such
  // a code is skipped.
  void GetModeNames(std::vector<std::string>& names);

  // ---- selection ----
  // Makes `mode` current: declares its links, calls ModeIsSet and, with auto
  // naming, renames the channel. An unregistered mode is reported (with the
  // channel prefix) and changes nothing.
  void SetCurrentMode(uint32_t mode);
  // SetCurrentMode for the mode at display position `orderIndex`; a bad
  // index or unregistered code is reported and changes nothing.
  void SetCurrentModeFromIndex(uint32_t orderIndex);

  // ---- accessors ----
  bool GetUseAutoChannelName() const { return _bUseAutoChannelName; }
  void SetUseAutoChannelName(bool use) { _bUseAutoChannelName = use; }
  bool GetApplySameMode() const { return _bApplySameMode; }
  void SetApplySameMode(bool apply) { _bApplySameMode = apply; }
  void SetAutoSetModeOnLoad(bool set) { _bAutoSetModeOnLoad = set; }
  uint32_t GetCurrentMode() { return _currentMode; }
  const std::string& GetModeDescription() const { return _modeDescription; }
  void SetModeDescription(const std::string& text) { _modeDescription = text; }
  const std::string& GetNamePrefix() const { return _namePrefix; }
  void SetNamePrefix(const std::string& prefix) { _namePrefix = prefix; }
  uint32_t GetLoadedMode() const { return _loadedMode; }
  uint32_t GetInitMode() const { return _initMode; }

  // The head of this instantiation's reports for `operation`:
  // "MultiModeChannel<class B,class D>::<operation>".
  static std::string ReportHead(const char* operation);

 protected:
  // A report head held in place, so that making a report never allocates.
  struct HeadText {
    char text[256];
    const char* c_str() const { return text; }
  };
  // ReportHead's text, cut at 255 characters.
  static HeadText Head(const char* operation) noexcept;
  // Shows GetPrefixedMessage(message) at `level` (0 to 3), and through the
  // same level's functor of `also` when not null. When the prefixed text
  // cannot be made (memory has run out), shows the same text formatted in
  // debugMessageBuffer instead. Never throws. REQUIRES: `message` does not
  // lie inside debugMessageBuffer.
  void ShowPrefixedMessage(unsigned level, const char* message,
                           EngineInterface* also = nullptr) noexcept;
  // Formats `format` into debugMessageBuffer and puts this channel's prefix
  // (as GetPrefixedMessage makes it) before it, allocating nothing. Returns
  // debugMessageBuffer. REQUIRES: no argument lies inside the buffer.
  const char* FormatPrefixedInBuffer(const char* format, ...) noexcept
      __attribute__((format(printf, 2, 3)));

  // Non-virtual form: the virtual one applied to message's text.
  const std::string GetPrefixedMessage(std::string message);
  // Starts collecting links for `mode`: sets _initMode and grows the work
  // table to hold the code, keeping entries that exist. A code above
  // kMaxModeCode is reported and gets no entry (links declared for it then
  // throw std::out_of_range).
  void InitMode(uint32_t mode);

  uint32_t _currentMode;         // kNoMode until a mode is set; saved as "MODE"
  uint32_t _initMode;            // code whose links CreateLink collects
  std::string _modeDescription;  // label, "Mode:"; only stored
  std::string _namePrefix;       // front of automatic names and prefixes
  bool _bUseAutoChannelName;     // rename on each selection; saved as "UACN"
  bool _bApplySameMode;          // only stored
  bool _bAutoSetModeOnLoad;      // LoadChannel selects the loaded mode
  uint32_t _loadedMode;          // code read by the last LoadChannel

  // The registry, shared by every instance of Derived.
  static ModeMap _modes;                    // code -> description
  static std::vector<uint32_t> _modeOrder;  // codes in display order
  // Work table indexed by code: links collected while a build runs.
  static std::vector<std::vector<ChildCreation>> _tempLinks;
  static uint32_t _refCount;       // live instances of Derived
  static bool _bModesInitialized;  // built and not cleared since

 private:
  // Reports the failed check `condition` of `operation` at level 1.
  static void ReportFailedCheck(const char* operation, const char* condition);
};

#include "plugin/multimode/multi_mode_channel-inl.h"  // IWYU pragma: export

#endif  // PLUGIN_MULTIMODE_MULTI_MODE_CHANNEL_H_
