// MessageDigest: a run's diagnostic messages folded for the report, in
// memory bounded however long the run and however many channels speak.
// Messages of one level and text form a text group; within it each channel
// that showed them has a count and the frame ranges they came in. Past
// kMaxChannelsPerText channels, a text group only counts the messages of
// further channels; past kMaxTexts text groups, a message of a new text is
// counted per level instead ("folded"), and a more severe one takes the
// place of the least severe group kept (lower levels are more severe:
// 0 alert, 1 error, 2 info, 3 debug), so that errors are never dropped to
// keep info lines. Texts longer than kMaxTextBytes are cut (and marked so).
#ifndef RUNNER_OUTPUT_REPORT_MESSAGES_H_
#define RUNNER_OUTPUT_REPORT_MESSAGES_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runner/output/reporter.h"

namespace dravik {

// Frames as ranges [from, to], merged when they touch; at most kMaxRanges
// are kept, later frames only move `last` on and count `rangesLeftOut`.
struct FrameRanges {
  static constexpr size_t kMaxRanges = 8;
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  size_t rangesLeftOut = 0;
  uint32_t last = 0;

  void Add(uint32_t frame);
};

struct ChannelMessages {
  std::string channel;  // scene id; "" for none
  uint64_t count = 0;
  FrameRanges frames;
};

struct TextGroup {
  unsigned level = 0;
  std::string text;  // at most kMaxTextBytes (cut at a character's start)
  bool cut = false;
  uint64_t count = 0;  // every message of this level and text
  std::vector<ChannelMessages> channels;  // in order of their first message
  uint64_t otherChannelMessages = 0;      // of channels past kMaxChannelsPerText
  FrameRanges otherFrames;
  size_t order = 0;  // when the first message came, among all groups
  std::unordered_map<std::string, size_t> index;  // channel -> position in channels
};

// Messages of one level not kept in any group.
struct FoldedMessages {
  unsigned level = 0;
  uint64_t count = 0;
  uint32_t first = 0;
  uint32_t last = 0;
};

class MessageDigest {
 public:
  static constexpr size_t kMaxTexts = 2000;
  static constexpr size_t kMaxChannelsPerText = 100;
  static constexpr size_t kMaxTextBytes = 1000;

  explicit MessageDigest(size_t maxTexts = kMaxTexts, size_t maxChannelsPerText = kMaxChannelsPerText);

  void Add(const RunMessage& message);

  // The groups kept, most severe level first, then in order of their first
  // message.
  std::vector<const TextGroup*> Groups() const;
  // The folded messages, by level.
  std::vector<FoldedMessages> Folded() const;
  uint64_t Total() const { return _total; }

 private:
  void Fold(unsigned level, uint64_t count, uint32_t first, uint32_t last);
  // Makes room for a group of `level`: drops the newest group of the least
  // severe level below it into the folded counts. False when every group
  // kept is as severe as `level` or more.
  bool MakeRoom(unsigned level);

  size_t _maxTexts;
  size_t _maxChannels;
  uint64_t _total = 0;
  size_t _nextOrder = 0;
  // Keyed by level and text.
  using Key = std::pair<unsigned, std::string>;
  std::map<Key, TextGroup> _groups;
  std::map<unsigned, std::vector<const Key*>> _byLevel;  // each level's groups, oldest first
  std::map<unsigned, FoldedMessages> _folded;
};

}  // namespace dravik

#endif  // RUNNER_OUTPUT_REPORT_MESSAGES_H_
