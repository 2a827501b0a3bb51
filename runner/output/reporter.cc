#include "runner/output/reporter.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "runner/output/printable_text.h"
#include "runner/output/value_format.h"

namespace dravik {

std::string LevelName(unsigned level) {
  switch (level) {
    case 0: return "alert";
    case 1: return "error";
    case 2: return "info";
    case 3: return "debug";
    default: return "level " + std::to_string(level);
  }
}

namespace {

void Put(FILE* f, const std::string& line) {
  std::fputs(line.c_str(), f);
  std::fputc('\n', f);
}

// "[id] " for a message of a channel, "" for one of none.
std::string ChannelTag(const std::string& id) { return id.empty() ? std::string() : "[" + Printable(id, 60) + "] "; }

// "dravik: frame 3: [error] [id] text" (no frame part outside frames).
std::string MessageLine(uint32_t frame, const std::string& level, const std::string& channel,
                        const std::string& text) {
  return "dravik: " + (frame ? "frame " + std::to_string(frame) + ": " : std::string()) + "[" + level + "] " +
         ChannelTag(channel) + Printable(text, 2000);
}

// `text` cut at spaces into lines of at most `width` characters (a longer
// word stands alone).
std::vector<std::string> Wrap(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  std::string line;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && DisplayWidth(line) + 1 + DisplayWidth(word) > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// ---------------------------------------------------------------- table

class TableReporter final : public Reporter {
 public:
  TableReporter(FILE* out, FILE* err, int maxLevel) : _out(out), _err(err), _maxLevel(maxLevel) {}

  void OnBegin(const Scene& scene, uint32_t first, uint32_t last,
               const std::vector<ChannelValue>& watched) override;
  void OnNote(uint32_t frame, const std::string& text) override;
  void OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) override;
  void OnMessage(const RunMessage& message) override;
  void OnEnd() override;

 private:
  struct Column {
    std::string id;
    bool isVector = false;
    bool isCall = false;
    size_t width = 9;
    std::string label;  // calls: A, B, ..., Z, AA, AB, ...
    std::string shown;  // the id as the table shows it (cut, unique)
    std::string name;   // last engine name seen
    // The summary's values, kept in a bounded space however long the run:
    // least, greatest, and per sparkline bucket the sum and count.
    size_t seen = 0;
    float lo = 0;
    float hi = 0;
    std::vector<double> bucketSum;
    std::vector<size_t> bucketCount;
    float last = 0;
    Vec3 lastVector{0, 0, 0};
    size_t counts[3] = {0, 0, 0};  // calls: 0.0, 1.0, 3.0
  };

  static const char* Mark(float status);
  std::string Rule(const char* cross) const;
  void FlushMessages();

  static constexpr size_t kSparkWidth = 48;
  static constexpr size_t kIdWidth = 24;  // ids longer than this are cut

  FILE* _out;
  FILE* _err;
  int _maxLevel;
  uint32_t _first = 1;
  uint64_t _frameCount = 0;
  std::vector<Column> _columns;
  std::vector<std::pair<uint32_t, std::string>> _pendingMessages;
  std::map<std::string, size_t> _repeats;  // message line -> times seen
  std::vector<std::string> _repeatOrder;
  bool _ranFrames = false;
};

const char* TableReporter::Mark(float status) {
  if (status == 0.0f) return "✓";
  if (status == 1.0f) return "✗";
  if (status == 3.0f) return "∅";
  return "?";
}

std::string TableReporter::Rule(const char* cross) const {
  std::string line = "───────";
  line += cross;
  bool anyValue = false;
  for (const Column& c : _columns) {
    if (c.isCall) continue;
    for (size_t i = 0; i < c.width + 1; ++i) line += "─";
    anyValue = true;
  }
  if (anyValue) line += "─";
  bool anyCall = false;
  for (const Column& c : _columns) anyCall = anyCall || c.isCall;
  if (anyCall) {
    line += cross;
    for (const Column& c : _columns) {
      if (!c.isCall) continue;
      for (size_t i = 0; i < c.width + 1; ++i) line += "─";
    }
  }
  return line;
}

void TableReporter::OnBegin(const Scene& scene, uint32_t first, uint32_t last,
                            const std::vector<ChannelValue>& watched) {
  _first = first;
  _frameCount = last >= first ? uint64_t{last} - first + 1 : 0;
  const size_t buckets = static_cast<size_t>(std::min<uint64_t>(_frameCount, kSparkWidth));
  size_t calls = 0;
  std::vector<std::string> ids;
  for (const ChannelValue& v : watched) ids.push_back(v.spec->id);
  const std::vector<std::string> shown = UniqueColumnTexts(ids, kIdWidth);
  for (const ChannelValue& v : watched) {
    Column c;
    c.id = v.spec->id;
    c.isCall = v.spec->kind == ChannelKind::kCall;
    c.isVector = v.isVector;
    c.name = v.name;
    c.shown = shown[_columns.size()];
    c.bucketSum.assign(buckets, 0.0);
    c.bucketCount.assign(buckets, 0);
    if (c.isCall) {
      c.label = ColumnLabel(calls++);
      c.width = c.label.size();
    } else {
      const size_t idWidth = DisplayWidth(c.shown);
      c.width = std::max(c.isVector ? size_t{20} : size_t{9}, idWidth);
    }
    _columns.push_back(std::move(c));
  }
  std::string title = "dravik · " + (scene.name.empty() ? std::string("scene") : Printable(scene.name, 60));
  title += last < first ? " · no frames to run"
                        : " · frames " + std::to_string(first) + "–" + std::to_string(last);
  Put(_out, title);
  if (!scene.description.empty()) {
    for (const std::string& line : Wrap(Printable(scene.description, 600), 96)) Put(_out, "  " + line);
  }
  bool anyCall = false;
  for (const Column& c : _columns) {
    if (!c.isCall) continue;
    Put(_out, std::string(anyCall ? "         " : "  calls  ") + Pad(c.label, 2, false) + " " +
                  Pad(c.shown, 12, false) + " " + Printable(c.name, 80));
    anyCall = true;
  }
  if (anyCall) Put(_out, "  marks  ✓ executed (0.0)   ✗ no procedure, or it failed (1.0)   ∅ inputs not taken (3.0)");
  Put(_out, "");
  std::string header = " frame │";
  for (const Column& c : _columns) {
    if (!c.isCall) header += " " + Pad(c.shown, c.width);
  }
  if (anyCall) {
    header += " │";
    for (const Column& c : _columns) {
      if (c.isCall) header += " " + Pad(c.label, c.width, false);
    }
  }
  Put(_out, header);
  Put(_out, Rule("┼"));
}

void TableReporter::OnNote(uint32_t frame, const std::string& text) {
  (void)frame;
  Put(_out, "       │ ▸ " + Printable(text, 400));
}

void TableReporter::OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) {
  _ranFrames = true;
  for (size_t i = 0; i < values.size() && i < _columns.size(); ++i) {
    Column& c = _columns[i];
    if (c.isCall && values[i].name != c.name) {
      Put(_out, "       │ ▸ " + c.label + " " + c.shown + " is now \"" +
                    Printable(values[i].name, 80) + "\"");
      c.name = values[i].name;
    }
  }
  std::string frameText = std::to_string(frame);
  std::string row = " " + Pad(frameText, 5) + " │";
  std::string marks;
  for (size_t i = 0; i < values.size() && i < _columns.size(); ++i) {
    Column& c = _columns[i];
    const ChannelValue& v = values[i];
    c.lo = c.seen == 0 || v.value < c.lo ? v.value : c.lo;
    c.hi = c.seen == 0 || v.value > c.hi ? v.value : c.hi;
    ++c.seen;
    if (!c.bucketSum.empty() && std::isfinite(v.value) && frame >= _first) {
      const size_t bucket = static_cast<size_t>(std::min<uint64_t>(
          (uint64_t{frame} - _first) * c.bucketSum.size() / _frameCount, c.bucketSum.size() - 1));
      c.bucketSum[bucket] += v.value;
      ++c.bucketCount[bucket];
    }
    c.last = v.value;
    c.lastVector = v.vector;
    if (c.isCall) {
      marks += " " + Pad(Mark(v.value), c.width, false);
      if (v.value == 0.0f) ++c.counts[0];
      if (v.value == 1.0f) ++c.counts[1];
      if (v.value == 3.0f) ++c.counts[2];
    } else {
      row += " " + Pad(v.isVector ? FormatVectorCell(v.vector) : FormatCell(v.value), c.width);
    }
  }
  if (!marks.empty()) row += " │" + marks;
  Put(_out, row);
  FlushMessages();
}

void TableReporter::OnMessage(const RunMessage& m) {
  if (_maxLevel < 0 || m.level > static_cast<unsigned>(_maxLevel)) return;
  const std::string key = "[" + LevelName(m.level) + "] " + ChannelTag(m.channel) + Printable(m.text, 2000);
  auto it = _repeats.find(key);
  if (it != _repeats.end()) {
    if (it->second++ == 1) _repeatOrder.push_back(key);
    return;
  }
  _repeats[key] = 1;
  _pendingMessages.push_back({m.frame, MessageLine(m.frame, LevelName(m.level), m.channel, m.text)});
  if (m.frame == 0) FlushMessages();
}

void TableReporter::FlushMessages() {
  if (_pendingMessages.empty()) return;
  std::fflush(_out);
  for (const auto& m : _pendingMessages) Put(_err, m.second);
  _pendingMessages.clear();
  std::fflush(_err);
}

void TableReporter::OnEnd() {
  FlushMessages();
  if (!_ranFrames) {
    std::fflush(_out);
    return;
  }
  Put(_out, Rule("┴"));
  Put(_out, "");
  size_t idWidth = 7;
  for (const Column& c : _columns) {
    idWidth = std::max(idWidth, DisplayWidth(c.shown) + (c.isCall ? c.label.size() + 1 : 0));
  }
  Put(_out, " " + Pad("summary", idWidth, false) + "  " + Pad("min", 10) + " " + Pad("max", 10) + "  " +
                Pad("last", 24, false) + "  values");
  for (const Column& c : _columns) {
    if (c.seen == 0) continue;
    const float lo = c.lo;
    const float hi = c.hi;
    std::vector<float> means;
    for (size_t b = 0; b < c.bucketSum.size(); ++b) {
      means.push_back(c.bucketCount[b] ? static_cast<float>(c.bucketSum[b] / static_cast<double>(c.bucketCount[b]))
                                       : NAN);
    }
    const std::string label = c.isCall ? c.label + " " + c.shown : c.shown;
    std::string line = " " + Pad(label, idWidth, false) + "  ";
    if (c.isCall) {
      const std::string counts = "✓ " + std::to_string(c.counts[0]) + "  ✗ " + std::to_string(c.counts[1]) +
                                 "  ∅ " + std::to_string(c.counts[2]);
      line += Pad(counts, 21, false) + "  " + Pad(std::string(Mark(c.last)) + " " + Printable(c.name, 40), 24, false);
    } else {
      line += Pad(FormatCell(lo), 10) + " " + Pad(FormatCell(hi), 10) + "  " +
              Pad(c.isVector ? FormatVectorCell(c.lastVector) : FormatCell(c.last), 24, false);
    }
    line += "  " + Sparkline(means, kSparkWidth);
    if (c.isVector) line += "  (length)";
    Put(_out, line);
  }
  std::fflush(_out);
  if (!_repeatOrder.empty()) {
    Put(_err, "dravik: messages shown once above and met again (times in all):");
    for (const std::string& key : _repeatOrder) {
      Put(_err, "dravik:   " + Pad(std::to_string(_repeats[key]) + "×", 6, true) + " " + key.substr(0, 240));
    }
    std::fflush(_err);
  }
}

// ---------------------------------------------------------------- csv

class CsvReporter final : public Reporter {
 public:
  CsvReporter(FILE* out, FILE* err, int maxLevel) : _out(out), _err(err), _maxLevel(maxLevel) {}

  void OnBegin(const Scene&, uint32_t, uint32_t, const std::vector<ChannelValue>&) override {
    Put(_out, "frame,channel,name,kind,value,x,y,z");
  }
  void OnNote(uint32_t frame, const std::string& text) override {
    if (_maxLevel >= 1) {
      std::fflush(_out);
      Put(_err, MessageLine(frame, "event", "", text));
    }
  }
  void OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) override {
    for (const ChannelValue& v : values) {
      std::string row = std::to_string(frame) + "," + CsvField(v.spec->id) + "," + CsvField(v.name) + "," +
                        ChannelKindName(v.spec->kind) + "," + FormatNumber(v.value);
      row += v.isVector ? "," + FormatNumber(v.vector.x) + "," + FormatNumber(v.vector.y) + "," +
                              FormatNumber(v.vector.z)
                        : std::string(",,,");
      Put(_out, row);
    }
  }
  void OnMessage(const RunMessage& m) override {
    if (_maxLevel < 0 || m.level > static_cast<unsigned>(_maxLevel)) return;
    std::fflush(_out);
    Put(_err, MessageLine(m.frame, LevelName(m.level), m.channel, m.text));
  }
  void OnEnd() override { std::fflush(_out); }

 private:
  FILE* _out;
  FILE* _err;
  int _maxLevel;
};

// ---------------------------------------------------------------- jsonl

class JsonlReporter final : public Reporter {
 public:
  explicit JsonlReporter(FILE* out) : _out(out) {}

  void OnBegin(const Scene&, uint32_t, uint32_t, const std::vector<ChannelValue>&) override {}
  void OnNote(uint32_t frame, const std::string& text) override {
    Put(_out, "{\"type\":\"event\",\"frame\":" + std::to_string(frame) + ",\"text\":" + JsonString(text) + "}");
  }
  void OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) override {
    for (const ChannelValue& v : values) {
      std::string value = v.isVector ? "[" + JsonNumber(v.vector.x) + "," + JsonNumber(v.vector.y) + "," +
                                           JsonNumber(v.vector.z) + "]"
                                     : JsonNumber(v.value);
      Put(_out, "{\"type\":\"value\",\"frame\":" + std::to_string(frame) + ",\"channel\":" + JsonString(v.spec->id) +
                    ",\"name\":" + JsonString(v.name) + ",\"value\":" + value + "}");
    }
  }
  void OnMessage(const RunMessage& m) override {
    Put(_out, "{\"type\":\"message\",\"frame\":" + std::to_string(m.frame) + ",\"level\":" +
                  std::to_string(m.level) + ",\"channel\":" + (m.channel.empty() ? "null" : JsonString(m.channel)) +
                  ",\"text\":" + JsonString(m.text) + "}");
  }
  void OnEnd() override { std::fflush(_out); }

 private:
  FILE* _out;
};

}  // namespace

std::unique_ptr<Reporter> MakeReporter(OutputFormat format, FILE* out, FILE* err, int maxLevel) {
  switch (format) {
    case OutputFormat::kCsv: return std::make_unique<CsvReporter>(out, err, maxLevel);
    case OutputFormat::kJsonl: return std::make_unique<JsonlReporter>(out);
    case OutputFormat::kTable: break;
  }
  return std::make_unique<TableReporter>(out, err, maxLevel);
}

}  // namespace dravik
