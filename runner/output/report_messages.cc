#include "runner/output/report_messages.h"

#include <algorithm>

namespace dravik {
namespace {

// `text` cut to at most `max` bytes, never inside a UTF-8 sequence.
std::string CutText(const std::string& text, size_t max, bool* cut) {
  *cut = text.size() > max;
  if (!*cut) return text;
  size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

void FrameRanges::Add(uint32_t frame) {
  if (ranges.empty()) {
    ranges.emplace_back(frame, frame);
  } else if (frame == uint64_t{last} + 1) {
    if (rangesLeftOut == 0) ranges.back().second = frame;  // else the range left out goes on
  } else if (frame > last) {
    if (rangesLeftOut == 0 && ranges.size() < kMaxRanges) {
      ranges.emplace_back(frame, frame);
    } else {
      ++rangesLeftOut;
    }
  }
  last = std::max(last, frame);
}

MessageDigest::MessageDigest(size_t maxTexts, size_t maxChannelsPerText)
    : _maxTexts(std::max<size_t>(maxTexts, 1)), _maxChannels(maxChannelsPerText) {}

void MessageDigest::Add(const RunMessage& m) {
  ++_total;
  bool cut = false;
  Key key(m.level, CutText(m.text, kMaxTextBytes, &cut));
  auto it = _groups.find(key);
  if (it == _groups.end()) {
    if (_groups.size() >= _maxTexts && !MakeRoom(m.level)) {
      Fold(m.level, 1, m.frame, m.frame);
      return;
    }
    it = _groups.emplace(key, TextGroup{}).first;
    TextGroup& g = it->second;
    g.level = m.level;
    g.text = key.second;
    g.cut = cut;
    g.order = _nextOrder++;
    _byLevel[m.level].push_back(&it->first);
  }
  TextGroup& g = it->second;
  ++g.count;
  auto at = g.index.find(m.channel);
  if (at == g.index.end()) {
    if (g.channels.size() >= _maxChannels) {
      ++g.otherChannelMessages;
      g.otherFrames.Add(m.frame);
      return;
    }
    at = g.index.emplace(m.channel, g.channels.size()).first;
    g.channels.push_back(ChannelMessages{m.channel, 0, {}});
  }
  ChannelMessages& c = g.channels[at->second];
  ++c.count;
  c.frames.Add(m.frame);
}

bool MessageDigest::MakeRoom(unsigned level) {
  for (auto l = _byLevel.rbegin(); l != _byLevel.rend() && l->first > level; ++l) {
    if (l->second.empty()) continue;
    const Key* key = l->second.back();
    l->second.pop_back();
    auto it = _groups.find(*key);
    const TextGroup& g = it->second;
    uint32_t first = UINT32_MAX;
    uint32_t last = 0;
    for (const ChannelMessages& c : g.channels) {
      first = std::min(first, c.frames.ranges.empty() ? c.frames.last : c.frames.ranges.front().first);
      last = std::max(last, c.frames.last);
    }
    if (g.otherChannelMessages > 0) {
      first = std::min(first, g.otherFrames.ranges.front().first);
      last = std::max(last, g.otherFrames.last);
    }
    Fold(g.level, g.count, first, last);
    _groups.erase(it);
    return true;
  }
  return false;
}

void MessageDigest::Fold(unsigned level, uint64_t count, uint32_t first, uint32_t last) {
  auto [it, fresh] = _folded.try_emplace(level, FoldedMessages{level, 0, first, last});
  FoldedMessages& f = it->second;
  f.count += count;
  if (!fresh) {
    f.first = std::min(f.first, first);
    f.last = std::max(f.last, last);
  }
}

std::vector<const TextGroup*> MessageDigest::Groups() const {
  std::vector<const TextGroup*> out;
  out.reserve(_groups.size());
  for (const auto& [key, group] : _groups) out.push_back(&group);
  std::sort(out.begin(), out.end(), [](const TextGroup* a, const TextGroup* b) {
    return a->level != b->level ? a->level < b->level : a->order < b->order;
  });
  return out;
}

std::vector<FoldedMessages> MessageDigest::Folded() const {
  std::vector<FoldedMessages> out;
  for (const auto& [level, f] : _folded) out.push_back(f);
  return out;
}

}  // namespace dravik
