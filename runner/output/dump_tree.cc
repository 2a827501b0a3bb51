#include "runner/output/dump_tree.h"

#include <cstdio>
#include <cstring>

#include "host/engine/le_bytes.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_file.h"
#include "runner/output/printable_text.h"
#include "runner/scene/record_entries.h"
#include "runner/scene/scene_file.h"
#include "runner/output/value_format.h"

namespace dravik {
namespace {

enum class Kind { kU32, kFloat, kVec3, kText, kBool, kIdList };

struct TagInfo {
  const char* tag;
  Kind kind;
  const char* label;
};

// Tags of the engine's part and of the known record kinds. The
// procedure-call part's "MODE", "TYPE" and "NAME" are told apart by
// position (see Decoder::Describe).
constexpr TagInfo kTags[] = {
    {"ZCID", Kind::kU32, "channel id"},     {"ZCNM", Kind::kText, "name"},
    {"ZCGR", Kind::kText, "group"},         {"ZCLK", Kind::kIdList, "child ids"},
    {"FVAL", Kind::kFloat, "value"},        {"VVAL", Kind::kVec3, "vector"},
    {"OREF", Kind::kU32, "object id"},      {"MODE", Kind::kU32, "current mode"},
    {"UACN", Kind::kBool, "auto naming"},   {"OWNC", Kind::kText, "owner class"},
    {"PRCN", Kind::kText, "procedure"},     {"STTC", Kind::kU32, "static"},
    {"PRMS", Kind::kU32, "parameters"},     {"TYPE", Kind::kU32, "type"},
    {"NAME", Kind::kText, "name"},          {"DRVK", Kind::kU32, "record version"},
    {"FRAM", Kind::kU32, "last frame"},     {"SCEN", Kind::kText, "scene JSON"},
    {"MOWN", Kind::kText, "modes owner"},   {"MODN", Kind::kU32, "modes"},
    {"MDCO", Kind::kU32, "mode code"},      {"MDSN", Kind::kText, "short name"},
    {"MDNM", Kind::kText, "mode name"},     {"OBJS", Kind::kU32, "objects"},
    {"OBID", Kind::kU32, "object id"},      {"OBSC", Kind::kText, "scene id"},
    {"OBCL", Kind::kText, "class"},         {"OBNM", Kind::kText, "object name"},
    {"OBPN", Kind::kU32, "properties"},     {"PKEY", Kind::kText, "property"},
    {"PFLT", Kind::kFloat, "float"},        {"PVEC", Kind::kVec3, "vector"},
    {"CHNS", Kind::kU32, "channels"},       {"CHSC", Kind::kText, "scene id"},
    {"CHID", Kind::kU32, "saved id"},
    {"CHST", Kind::kFloat, "last status"},
};

const TagInfo* FindTag(const std::string& tag) {
  for (const TagInfo& t : kTags) {
    if (tag == t.tag) return &t;
  }
  return nullptr;
}

const char* TypeName(const GUID& type) {
  const std::string text = guid::ToString(type);
  if (text == guid::kFloatChannelType) return "Value";
  if (text == guid::kVectorChannelType) return "Value Vector";
  if (text == guid::kCoreRefChannelType) return "CoreRef";
  if (text == guid::kPrcCallChannelType) return "VanticPrcCall";
  if (text == kSceneRecordType) return "dravik scene";
  return "unknown type";
}

std::string Hex(const uint8_t* p, size_t n) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < n && i < 16; ++i) {
    std::snprintf(b, sizeof b, "%s%02X", i ? " " : "", p[i]);
    out += b;
  }
  if (n > 16) out += " ...";
  return out;
}

std::string Hex32(uint32_t v) {
  char b[12];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

bool LooksLikeText(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] < 0x20 && p[i] != '\n' && p[i] != '\t') return false;
  }
  return true;
}

std::string TextValue(const uint8_t* p, size_t n) {
  std::string text(reinterpret_cast<const char*>(p), n);
  std::string shown = "\"" + Printable(text, 100) + "\"";
  if (n > 100) shown += " (" + std::to_string(n) + " bytes)";
  return shown;
}

class Decoder {
 public:
  Decoder(const std::vector<uint8_t>& bytes, DumpResult* result) : _bytes(bytes), _r(result) {}

  void Run(const std::string& name);

 private:
  void Line(const std::string& text) { _r->text += text + "\n"; }
  void Problem(const std::string& indent, const std::string& text) {
    Line(indent + "!! " + text);
    ++_r->problems;
    if (!_inRecord) {
      _r->fileProblems.push_back(text);
    } else {
      _r->recordList.back().entries.push_back({"!!", text, 0, 0});
    }
  }
  void Record(size_t at, size_t end, const GUID& type);
  // Label and value text of one entry; sets *bad when its size does not fit.
  std::string Describe(const std::string& tag, const uint8_t* data, uint32_t size, bool* bad, bool* unknown);

  const std::vector<uint8_t>& _bytes;
  DumpResult* _r;
  // Position inside a procedure-call record: parameters follow "PRMS".
  bool _prc = false;
  bool _afterPrms = false;
  int _param = -1;
  bool _inRecord = false;  // problems go to the last record of recordList
};

std::string Decoder::Describe(const std::string& tag, const uint8_t* data, uint32_t size, bool* bad,
                              bool* unknown) {
  const TagInfo* info = FindTag(tag);
  std::string label = info ? info->label : "";
  if (_prc && _afterPrms && (tag == "TYPE" || tag == "MODE" || tag == "NAME")) {
    if (tag == "TYPE") ++_param;
    label = "param " + std::to_string(_param < 0 ? 0 : _param) + " " + (tag == "TYPE" ? "type" : tag == "MODE" ? "mode" : "name");
  }
  if (tag == "PRMS") _afterPrms = true;
  if (info == nullptr) {
    *unknown = true;
    std::string guess = "unknown tag";
    if (size == 4) {
      guess += ": u32 " + std::to_string(le::GetU32(data)) + " / float " + FormatNumber(le::GetF32(data));
      if (LooksLikeText(data, size)) guess += " / text " + TextValue(data, size);
    } else if (size > 0 && LooksLikeText(data, size)) {
      guess += ": text " + TextValue(data, size);
    } else if (size > 0) {
      guess += ": bytes " + Hex(data, size);
    }
    return Pad("?", 14, false) + " " + guess;
  }
  auto need = [&](uint32_t want) {
    if (size == want) return true;
    *bad = true;
    return false;
  };
  std::string value;
  switch (info->kind) {
    case Kind::kU32:
      if (!need(4)) return Pad(label, 14, false) + " expected 4 bytes; bytes " + Hex(data, size);
      value = std::to_string(le::GetU32(data));
      if (label.find("type") != std::string::npos && tag == "TYPE") {
        value += le::GetU32(data) == 0 ? " (float)" : le::GetU32(data) == 1 ? " (vec3)" : " (unknown type)";
      } else if (label.find("mode") != std::string::npos && _afterPrms) {
        value += std::string(" (") + ParamModeName(static_cast<uint16_t>(le::GetU32(data))) + ")";
      } else if (tag == "STTC") {
        value += le::GetU32(data) ? " (yes)" : " (no)";
      }
      break;
    case Kind::kFloat:
      if (!need(4)) return Pad(label, 14, false) + " expected 4 bytes; bytes " + Hex(data, size);
      value = FormatNumber(le::GetF32(data));
      break;
    case Kind::kVec3:
      if (!need(12)) return Pad(label, 14, false) + " expected 12 bytes; bytes " + Hex(data, size);
      value = FormatVector(Vec3{le::GetF32(data), le::GetF32(data + 4), le::GetF32(data + 8)});
      break;
    case Kind::kBool:
      if (!need(1)) return Pad(label, 14, false) + " expected 1 byte; bytes " + Hex(data, size);
      value = std::to_string(data[0]) + (data[0] == 0 ? " (no)" : data[0] == 1 ? " (yes)" : " (not 0 or 1)");
      break;
    case Kind::kText:
      value = TextValue(data, size);
      break;
    case Kind::kIdList:
      if (size % 4 != 0) {
        *bad = true;
        return Pad(label, 14, false) + " size is not a multiple of 4; bytes " + Hex(data, size);
      }
      value = "[";
      for (uint32_t i = 0; i < size / 4; ++i) {
        if (i == 32) {
          value += ", ... (" + std::to_string(size / 4) + " ids)";
          break;
        }
        value += (i ? ", " : "") + std::to_string(le::GetU32(data + 4 * i));
      }
      value += "]";
      break;
  }
  return Pad(label, 14, false) + " " + value;
}

void Decoder::Record(size_t at, size_t end, const GUID& type) {
  _prc = guid::ToString(type) == guid::kPrcCallChannelType;
  _afterPrms = false;
  _param = -1;
  size_t p = at;
  while (p < end) {
    char where[32];
    std::snprintf(where, sizeof where, "  @%-6zu", p);
    if (end - p < kZyrEntryHeaderSize) {
      Problem("  ", std::string(where + 2) + " " + std::to_string(end - p) + " stray bytes, too few for an entry header");
      return;
    }
    const std::string tag(reinterpret_cast<const char*>(&_bytes[p]), 4);
    const uint32_t size = le::GetU32(&_bytes[p + 4]);
    const std::string shownTag = Pad(Printable(tag, 16), 4, false);
    const size_t room = end - p - kZyrEntryHeaderSize;
    if (size > room) {
      Problem("  ", std::string(where + 2) + " " + shownTag + "  block of " + std::to_string(size) +
                        " bytes, only " + std::to_string(room) + " left in the record (truncated)");
      return;
    }
    bool bad = false;
    bool unknown = false;
    const std::string text = Describe(tag, &_bytes[p + kZyrEntryHeaderSize], size, &bad, &unknown);
    Line(std::string(where) + " " + shownTag + " " + Pad(std::to_string(size), 5) + "  " + text);
    _r->recordList.back().entries.push_back({shownTag, text, p + kZyrEntryHeaderSize, size});
    if (bad) Problem("    ", "the block's size does not fit its tag");
    if (unknown) ++_r->unknownTags;
    p += kZyrEntryHeaderSize + size;
  }
}

void Decoder::Run(const std::string& name) {
  Line(Printable(name, 200) + " (" + std::to_string(_bytes.size()) + " bytes)");
  if (_bytes.size() < kZyrFileHeaderSize) {
    Problem("", "the file is shorter than its " + std::to_string(kZyrFileHeaderSize) + "-byte header");
    return;
  }
  const std::string magic(reinterpret_cast<const char*>(_bytes.data()), 4);
  const uint32_t version = le::GetU32(&_bytes[4]);
  Line("header  magic \"" + Printable(magic, 16) + "\"  version " + std::to_string(version));
  if (std::memcmp(_bytes.data(), kZyrFileMagic, 4) != 0) Problem("", "bad magic (expected \"ZYRF\")");
  // An unknown version is read as the current one.
  const bool unchecked = version == kZyrFileVersionUnchecked;
  if (unchecked) {
    Line("  version 1: the records carry no checksums; damage inside a record may go unseen");
  } else if (version != kZyrFileVersion) {
    Problem("", "unknown format version (expected " + std::to_string(kZyrFileVersion) + ")");
  }
  const size_t headerSize = unchecked ? kZyrRecordHeaderSizeUnchecked : kZyrRecordHeaderSize;
  size_t p = kZyrFileHeaderSize;
  while (p < _bytes.size()) {
    if (_bytes.size() - p < headerSize) {
      Problem("", "@" + std::to_string(p) + " " + std::to_string(_bytes.size() - p) +
                      " stray bytes, too few for a record header");
      break;
    }
    const GUID type = le::GetGuid(&_bytes[p]);
    const uint32_t body = le::GetU32(&_bytes[p + 16]);
    const size_t begin = p + headerSize;
    ++_r->records;
    const uint32_t stored = unchecked ? 0 : le::GetU32(&_bytes[p + kZyrRecordChecksumOffset]);
    _r->recordList.push_back({std::string(TypeName(type)) + " " + guid::ToString(type), {}});
    _inRecord = true;
    Line("record " + std::to_string(_r->records) + " @" + std::to_string(p) + "  " + TypeName(type) + " " +
         guid::ToString(type) + "  body " + std::to_string(body) + " bytes" +
         (unchecked ? "" : "  crc " + Hex32(stored)));
    size_t end = begin + body;
    if (body > _bytes.size() - begin) {
      Problem("  ", "the body runs " + std::to_string(body - (_bytes.size() - begin)) +
                        " bytes past the end of the file (truncated)");
      end = _bytes.size();
    } else if (!unchecked && stored != ZyrRecordChecksum(&_bytes[p], body)) {
      Problem("  ", "the record fails its checksum (computed " + Hex32(ZyrRecordChecksum(&_bytes[p], body)) +
                        "): its entries below are damaged");
    }
    Record(begin, end, type);
    _inRecord = false;
    p = end;
  }
  Line("end: " + std::to_string(_r->records) + " record(s), " + std::to_string(_r->problems) + " problem(s), " +
       std::to_string(_r->unknownTags) + " unknown tag(s)");
}

}  // namespace

DumpResult DumpBytes(const std::vector<uint8_t>& bytes, const std::string& name) {
  DumpResult result;
  Decoder(bytes, &result).Run(name);
  return result;
}

}  // namespace dravik
