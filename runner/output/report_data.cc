#include "runner/output/report_data.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "runner/output/markup_text.h"
#include "runner/output/printable_text.h"
#include "runner/output/value_format.h"

namespace dravik {
namespace {

// User text as the page shows it (the script puts it in the page as text).
std::string Json(std::string_view text) { return JsonString(Printable(text, std::string::npos)); }

std::string Number(float v) { return std::isfinite(v) ? FormatNumber(v) : "null"; }

// Which frames a plot shows: every frame, or for long runs a pair of
// points (first and middle frame) per run of `stride` frames, holding the
// least and greatest value of the run.
struct Sampling {
  uint32_t first = 1;
  size_t count = 0;   // frames recorded
  size_t stride = 1;

  std::string Frames() const {
    std::string out = "[";
    for (size_t start = 0; start < count; start += stride) {
      const size_t len = std::min(stride, count - start);
      if (start > 0) out += ",";
      out += std::to_string(first + start);
      if (len > 1) out += "," + std::to_string(first + start + len / 2);
    }
    return out + "]";
  }

  template <typename Get>
  std::string Values(size_t size, Get get) const {
    std::string out = "[";
    for (size_t start = 0; start < count; start += stride) {
      const size_t len = std::min(stride, count - start);
      if (start > 0) out += ",";
      if (len == 1) {
        out += start < size ? Number(get(start)) : "null";
        continue;
      }
      float lo = NAN;
      float hi = NAN;
      for (size_t i = start; i < start + len && i < size; ++i) {
        const float v = get(i);
        if (!std::isfinite(v)) continue;
        lo = std::isfinite(lo) ? std::min(lo, v) : v;
        hi = std::isfinite(hi) ? std::max(hi, v) : v;
      }
      out += Number(lo) + "," + Number(hi);
    }
    return out + "]";
  }
};

std::string SeriesJson(const Sampling& s, const RecordedSeries& r) {
  const auto& v = r.vectors;
  const auto& f = r.values;
  if (!r.isVector) return "{\"value\":" + s.Values(f.size(), [&](size_t i) { return f[i]; }) + "}";
  return "{\"x\":" + s.Values(v.size(), [&](size_t i) { return v[i].x; }) +
         ",\"y\":" + s.Values(v.size(), [&](size_t i) { return v[i].y; }) +
         ",\"z\":" + s.Values(v.size(), [&](size_t i) { return v[i].z; }) +
         ",\"length\":" + s.Values(f.size(), [&](size_t i) { return f[i]; }) + "}";
}

// UTF-16 units of the longest common prefix of two valid UTF-8 texts that
// ends between characters.
size_t SharedUnits(const std::string& a, const std::string& b) {
  size_t units = 0;
  size_t i = 0;
  while (i < a.size() && i < b.size()) {
    const unsigned char c = static_cast<unsigned char>(a[i]);
    const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (a.compare(i, len, b, i, len) != 0) break;
    units += len == 4 ? 2 : 1;
    i += len;
  }
  return units;
}

std::string HeatJson(const StatusGrid& grid) {
  std::vector<size_t> rows(grid.ids.size());
  std::vector<StatusCell> worst(grid.ids.size());
  size_t counts[5] = {0, 0, 0, 0, 0};
  for (size_t r = 0; r < rows.size(); ++r) {
    rows[r] = r;
    worst[r] = grid.Worst(r);
    ++counts[static_cast<size_t>(worst[r])];
  }
  std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) { return worst[a] > worst[b]; });
  std::string ids = "[";
  std::string cells;
  cells.reserve(rows.size() * grid.columns);
  std::string before;
  for (size_t k = 0; k < rows.size(); ++k) {
    const std::string id = Printable(grid.ids[rows[k]], std::string::npos);
    const size_t shared = SharedUnits(before, id);
    // The shared units as one character: 48 + shared is far below the
    // surrogates (ids are at most a few hundred characters).
    std::string entry;
    const uint32_t code = static_cast<uint32_t>(48 + std::min<size_t>(shared, 0xD000));
    if (code < 0x80) {
      entry += static_cast<char>(code);
    } else if (code < 0x800) {
      entry += static_cast<char>(0xC0 | (code >> 6));
      entry += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      entry += static_cast<char>(0xE0 | (code >> 12));
      entry += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      entry += static_cast<char>(0x80 | (code & 0x3F));
    }
    size_t skip = 0;  // bytes of the shared units
    for (size_t units = 0; units < shared;) {
      const unsigned char c = static_cast<unsigned char>(id[skip]);
      const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      units += len == 4 ? 2 : 1;
      skip += len;
    }
    ids += (k ? "," : "") + JsonString(entry + id.substr(skip));
    for (size_t c = 0; c < grid.columns; ++c) cells += static_cast<char>('0' + static_cast<int>(grid.Cell(rows[k], c)));
    before = id;
  }
  std::string out = "{\"first\":" + std::to_string(grid.first) + ",\"span\":" + std::to_string(grid.span) +
                    ",\"columns\":" + std::to_string(grid.columns) + ",\"ids\":" + ids + "],\"cells\":\"" + cells +
                    "\",\"worst\":[";
  for (size_t i = 0; i < 5; ++i) out += (i ? "," : "") + std::to_string(counts[i]);
  return out + "]}";
}

std::string RangesJson(const FrameRanges& f) {
  std::string out = "[";
  for (size_t i = 0; i < f.ranges.size(); ++i) {
    out += (i ? ",[" : "[") + std::to_string(f.ranges[i].first) + "," + std::to_string(f.ranges[i].second) + "]";
  }
  return out + "],\"framesMore\":" + std::to_string(f.rangesLeftOut) + ",\"last\":" + std::to_string(f.last);
}

// The message table: a row per text and channel, at most kMaxMessageRows.
// When they do not fit, each text lists its first `listed` channels and
// one row for the rest; when even one channel each does not fit, the
// least severe texts (the last, as groups come most severe first) are
// folded into the counts per level.
std::string MessagesJson(const MessageDigest& digest) {
  const std::vector<const TextGroup*> groups = digest.Groups();
  const auto rowsFor = [](const TextGroup& g, size_t listed) {
    const bool others = g.channels.size() > listed || g.otherChannelMessages > 0;
    return std::min(g.channels.size(), listed) + (others ? 1 : 0);
  };
  const auto need = [&](size_t listed) {
    size_t rows = 0;
    for (const TextGroup* g : groups) rows += rowsFor(*g, listed);
    return rows;
  };
  size_t listed = MessageDigest::kMaxChannelsPerText;
  if (need(listed) > kMaxMessageRows) {
    size_t lo = 1;  // the most channels each text lists that fit (1 at least)
    size_t hi = listed;
    while (lo < hi) {
      const size_t mid = (lo + hi + 1) / 2;
      if (need(mid) <= kMaxMessageRows) {
        lo = mid;
      } else {
        hi = mid - 1;
      }
    }
    listed = lo;
  }
  std::vector<FoldedMessages> folded = digest.Folded();
  std::string texts = "[";
  std::string rows = "[";
  size_t rowCount = 0;
  size_t textCount = 0;
  bool full = false;  // once a text is folded, every less severe one is too
  for (const TextGroup* g : groups) {
    full = full || rowCount + rowsFor(*g, listed) > kMaxMessageRows;
    if (full) {
      // Folded with the messages the digest could not keep.
      auto f = std::find_if(folded.begin(), folded.end(), [&](const FoldedMessages& m) { return m.level == g->level; });
      if (f == folded.end()) f = folded.insert(folded.end(), FoldedMessages{g->level, 0, UINT32_MAX, 0});
      f->count += g->count;
      for (const ChannelMessages& c : g->channels) {
        f->first = std::min(f->first, c.frames.ranges.front().first);
        f->last = std::max(f->last, c.frames.last);
      }
      if (g->otherChannelMessages > 0) {
        f->first = std::min(f->first, g->otherFrames.ranges.front().first);
        f->last = std::max(f->last, g->otherFrames.last);
      }
      continue;
    }
    const std::string t = std::to_string(textCount++);
    texts += std::string(texts.size() > 1 ? "," : "") + "{\"level\":" + std::to_string(g->level) +
             ",\"text\":" + Json(g->text) + ",\"cut\":" + (g->cut ? "true" : "false") +
             ",\"count\":" + std::to_string(g->count) + "}";
    uint64_t otherCount = g->otherChannelMessages;
    uint32_t first = g->otherChannelMessages ? g->otherFrames.ranges.front().first : UINT32_MAX;
    uint32_t last = g->otherChannelMessages ? g->otherFrames.last : 0;
    for (size_t i = 0; i < g->channels.size(); ++i) {
      const ChannelMessages& c = g->channels[i];
      if (i >= listed) {
        otherCount += c.count;
        first = std::min(first, c.frames.ranges.front().first);
        last = std::max(last, c.frames.last);
        continue;
      }
      rows += std::string(rowCount++ ? "," : "") + "{\"t\":" + t + ",\"channel\":" +
              (c.channel.empty() ? std::string("null") : Json(c.channel)) + ",\"count\":" + std::to_string(c.count) +
              ",\"frames\":" + RangesJson(c.frames) + "}";
    }
    if (otherCount > 0) {
      const size_t more = g->channels.size() > listed ? g->channels.size() - listed : 0;
      rows += std::string(rowCount++ ? "," : "") + "{\"t\":" + t + ",\"others\":" + std::to_string(more) +
              ",\"more\":" + (g->otherChannelMessages > 0 ? "true" : "false") + ",\"count\":" +
              std::to_string(otherCount) + ",\"between\":[" + std::to_string(first) + "," + std::to_string(last) +
              "]}";
    }
  }
  std::sort(folded.begin(), folded.end(),
            [](const FoldedMessages& a, const FoldedMessages& b) { return a.level < b.level; });
  std::string foldedJson = "[";
  for (size_t i = 0; i < folded.size(); ++i) {
    const FoldedMessages& f = folded[i];
    foldedJson += std::string(i ? "," : "") + "{\"level\":" + std::to_string(f.level) + ",\"count\":" +
                  std::to_string(f.count) + ",\"first\":" + std::to_string(f.first) + ",\"last\":" +
                  std::to_string(f.last) + "}";
  }
  return "{\"total\":" + std::to_string(digest.Total()) + ",\"texts\":" + texts + "],\"rows\":" + rows +
         "],\"folded\":" + foldedJson + "]}";
}

}  // namespace

std::string ReportData(const RunRecord& record, size_t maxPoints) {
  const std::span<const RecordedSeries> plotted(record.watched.data(), record.Plotted());
  size_t series = 0;
  for (const RecordedSeries& r : plotted) series += r.isVector ? 4 : 1;
  maxPoints = std::min(maxPoints, std::max<size_t>(1000, kMaxReportTotalPoints / std::max<size_t>(series, 1)));
  Sampling s;
  s.first = record.first;
  s.count = record.last >= record.first ? size_t{record.last} - record.first + 1 : 0;
  const size_t pairs = std::max<size_t>(maxPoints / 2, 1);
  if (s.count > maxPoints) s.stride = (s.count + pairs - 1) / pairs;
  std::string plots;
  std::string timelines;
  for (const RecordedSeries& r : plotted) {
    if (r.kind == ChannelKind::kCall) {
      timelines += std::string(timelines.empty() ? "" : ",") + "{\"id\":" + Json(r.id) + ",\"name\":" + Json(r.name) +
                   ",\"status\":" + s.Values(r.values.size(), [&](size_t i) { return r.values[i]; }) + "}";
    } else {
      plots += std::string(plots.empty() ? "" : ",") + "{\"id\":" + Json(r.id) + ",\"name\":" + Json(r.name) +
               ",\"vector\":" + (r.isVector ? "true" : "false") + ",\"series\":" + SeriesJson(s, r) + "}";
    }
  }
  std::string events;
  for (const RunNote& n : record.notes) {
    events += std::string(events.empty() ? "" : ",") + "{\"frame\":" + std::to_string(n.frame) +
              ",\"text\":" + Json(n.text) + "}";
  }
  return "{\"x\":" + s.Frames() + ",\"stride\":" + std::to_string(s.stride) + ",\"plots\":[" + plots +
         "],\"timelines\":[" + timelines + "],\"watchedLeftOut\":" + std::to_string(record.PlotLeftOut()) +
         ",\"heat\":" + HeatJson(record.statuses) + ",\"events\":[" + events +
         "],\"eventsLeftOut\":" + std::to_string(record.notesLeftOut) + ",\"messages\":" +
         MessagesJson(record.digest) + "}";
}

}  // namespace dravik
