#include "reports/xls_writer.h"

#include <algorithm>
#include <cstring>

namespace tv {

namespace {

// Record identifiers.
constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kWindow1 = 0x003D;
constexpr uint16_t kFont = 0x0031;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kStyle = 0x0293;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kExtSst = 0x00FF;
constexpr uint16_t kDimensions = 0x0200;
constexpr uint16_t kNumber = 0x0203;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kWindow2 = 0x023E;

constexpr size_t kMaxRecordData = 8224;
constexpr uint16_t kCellXf = 15;

// WINDOW2 flags: grid lines, headers, zeros, automatic grid colour, outline
// symbols; the first sheet also carries "selected" and "active". Marking more
// than one sheet selected would group them.
constexpr uint16_t kWindow2Plain = 0x00B6;
constexpr uint16_t kWindow2SelectedActive = 0x0600;

// Compound-file constants.
constexpr size_t kSector = 512;
constexpr size_t kMiniStreamCutoff = 4096;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr size_t kHeaderFatSlots = 109;
constexpr size_t kIdsPerSector = kSector / 4;

// A little-endian byte buffer with room reserved at its front for the
// compound-file header, so the stream is built in place and never copied.
class Buffer {
 public:
  explicit Buffer(size_t base) : base_(base) { data_.resize(base); }

  void U8(uint8_t v) { data_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) {
    char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    data_.append(b, 2);
  }
  void U32(uint32_t v) {
    char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    data_.append(b, 4);
  }
  void F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    data_.append(b, 8);
  }
  void Zeros(size_t n) { data_.append(n, '\0'); }
  void PutU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) data_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  void PutU16(size_t at, uint16_t v) {
    data_[at] = static_cast<char>(v & 0xFF);
    data_[at + 1] = static_cast<char>(v >> 8);
  }
  void Reserve(size_t n) { data_.reserve(n); }

  // Positions are counted from the start of the stream, after the reserve.
  size_t Position() const { return data_.size() - base_; }
  size_t Absolute() const { return data_.size(); }
  std::string& Bytes() { return data_; }

  // A record whose length is filled in by EndRecord.
  size_t BeginRecord(uint16_t id) {
    U16(id);
    size_t at = data_.size();
    U16(0);
    return at;
  }
  void EndRecord(size_t length_at) {
    PutU16(length_at, static_cast<uint16_t>(data_.size() - length_at - 2));
  }

  // UTF-16 text, one byte per unit when every unit fits in one.
  void Units(std::u16string_view s, size_t from, size_t count, bool compressed) {
    size_t at = data_.size();
    data_.resize(at + count * (compressed ? 1 : 2));
    char* p = data_.data() + at;
    for (size_t i = from; i < from + count; ++i) {
      *p++ = static_cast<char>(s[i] & 0xFF);
      if (!compressed) *p++ = static_cast<char>(s[i] >> 8);
    }
  }

 private:
  size_t base_;
  std::string data_;
};

bool FitsInOneByte(std::u16string_view s) {
  return std::all_of(s.begin(), s.end(), [](char16_t c) { return c <= 0xFF; });
}

void ShortString(Buffer& b, const std::u16string& s) {
  bool compressed = FitsInOneByte(s);
  b.U8(static_cast<uint8_t>(s.size()));
  b.U8(compressed ? 0 : 1);
  b.Units(s, 0, s.size(), compressed);
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

char16_t FoldAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

bool SameSheetName(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

// One worksheet of the file: which rows of which table it shows.
struct SheetPlan {
  std::u16string name;
  const XlsTable* table = nullptr;
  size_t first_row = 0;
  size_t row_count = 0;
};

std::vector<SheetPlan> PlanSheets(const std::vector<XlsTable>& tables) {
  std::vector<SheetPlan> plans;
  // Every table's own name is taken before any overflow sheet is named.
  std::vector<std::u16string> used;
  for (const XlsTable& t : tables) used.push_back(Utf8ToUtf16(t.name));
  for (size_t t = 0; t < tables.size(); ++t) {
    const XlsTable& table = tables[t];
    size_t per_sheet = table.header.empty() ? kXlsMaxRows : kXlsMaxRows - 1;
    size_t rows = table.RowCount();
    size_t sheets = rows == 0 ? 1 : (rows + per_sheet - 1) / per_sheet;
    int suffix = 2;
    for (size_t s = 0; s < sheets; ++s) {
      SheetPlan plan;
      plan.table = &table;
      plan.first_row = s * per_sheet;
      plan.row_count = std::min(per_sheet, rows - std::min(rows, plan.first_row));
      if (s == 0) {
        plan.name = used[t];
      } else {
        for (;; ++suffix) {
          std::u16string tail = Utf8ToUtf16(std::to_string(suffix));
          std::u16string base = used[t];
          size_t keep = std::min(base.size(), kXlsMaxSheetNameUnits - tail.size());
          // Never keep half of a surrogate pair.
          if (keep > 0 && keep < base.size() && base[keep - 1] >= 0xD800 &&
              base[keep - 1] <= 0xDBFF) {
            --keep;
          }
          std::u16string candidate = base.substr(0, keep) + tail;
          bool taken = std::any_of(used.begin(), used.end(), [&](const std::u16string& u) {
            return SameSheetName(u, candidate);
          });
          if (!taken) {
            plan.name = candidate;
            used.push_back(candidate);
            ++suffix;
            break;
          }
        }
      }
      plans.push_back(std::move(plan));
    }
  }
  return plans;
}

void WriteBof(Buffer& b, uint16_t kind) {
  size_t at = b.BeginRecord(kBof);
  b.U16(0x0600);  // BIFF8
  b.U16(kind);
  b.U16(0x0DBB);  // build
  b.U16(0x07CC);  // year
  b.U32(0);       // history flags
  b.U32(6);       // lowest version that reads the file
  b.EndRecord(at);
}

void WriteEof(Buffer& b) {
  b.U16(kEof);
  b.U16(0);
}

void WriteFormats(Buffer& b) {
  size_t at = b.BeginRecord(kCodePage);
  b.U16(1200);  // UTF-16
  b.EndRecord(at);

  at = b.BeginRecord(kWindow1);
  for (uint16_t v : {0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 600}) b.U16(v);
  b.EndRecord(at);

  const std::u16string arial = u"Arial";
  for (int i = 0; i < 4; ++i) {
    at = b.BeginRecord(kFont);
    b.U16(200);     // height in twips
    b.U16(0);       // attributes
    b.U16(0x7FFF);  // automatic colour
    b.U16(400);     // normal weight
    b.U16(0);       // escapement
    b.U8(0);        // underline
    b.U8(0);        // family
    b.U8(0);        // character set
    b.U8(0);
    ShortString(b, arial);
    b.EndRecord(at);
  }

  // Fifteen style formats, then the one cell format every cell uses.
  for (int i = 0; i < 16; ++i) {
    bool style = i < 15;
    at = b.BeginRecord(kXf);
    b.U16(0);                         // font
    b.U16(0);                         // number format: General
    b.U16(style ? 0xFFF5 : 0x0001);   // locked; style formats have no parent
    b.U8(0x20);                       // aligned at the bottom
    b.U8(0);                          // rotation
    b.U8(0);                          // indent
    b.U8(style && i > 0 ? 0xF4 : 0);  // attribute groups
    b.Zeros(8);                       // borders and fill
    b.U16(0x20C0);                    // fill colours
    b.EndRecord(at);
  }

  at = b.BeginRecord(kStyle);
  b.U16(0x8000);  // built-in style of XF 0
  b.U8(0);        // "Normal"
  b.U8(0xFF);
  b.EndRecord(at);
}

// The shared strings, continued over CONTINUE records when they pass the
// record size limit, and the index Excel uses to find them.
void WriteSharedStrings(Buffer& b, const XlsStringTable& strings, uint32_t references) {
  const size_t count = strings.size();
  const size_t per_bucket = std::max<size_t>(8, count / 128 + 1);
  struct BucketEntry {
    uint32_t stream_offset;
    uint16_t record_offset;
  };
  std::vector<BucketEntry> buckets;

  size_t record_start = b.Position();
  size_t length_at = b.BeginRecord(kSst);
  size_t used = 8;
  b.U32(references);
  b.U32(static_cast<uint32_t>(count));
  auto next_record = [&]() {
    b.EndRecord(length_at);
    record_start = b.Position();
    length_at = b.BeginRecord(kContinue);
    used = 0;
  };
  for (size_t i = 0; i < count; ++i) {
    std::u16string_view s = strings[static_cast<uint32_t>(i)];
    bool compressed = FitsInOneByte(s);
    size_t unit = compressed ? 1 : 2;
    // The three-byte header never splits, and it travels with its first unit.
    if (used + 3 + (s.empty() ? 0 : unit) > kMaxRecordData) next_record();
    if (i % per_bucket == 0) {
      buckets.push_back({static_cast<uint32_t>(b.Position()),
                         static_cast<uint16_t>(b.Position() - record_start)});
    }
    b.U16(static_cast<uint16_t>(s.size()));
    b.U8(compressed ? 0 : 1);
    used += 3;
    size_t done = 0;
    while (done < s.size()) {
      size_t room = (kMaxRecordData - used) / unit;
      size_t n = std::min(room, s.size() - done);
      // A surrogate pair stays in one record.
      if (n > 0 && done + n < s.size() && s[done + n - 1] >= 0xD800 && s[done + n - 1] <= 0xDBFF) {
        --n;
      }
      if (n == 0) {
        // The rest goes on in a new record that restates the unit width.
        next_record();
        b.U8(compressed ? 0 : 1);
        used = 1;
        continue;
      }
      b.Units(s, done, n, compressed);
      used += n * unit;
      done += n;
    }
  }
  b.EndRecord(length_at);

  length_at = b.BeginRecord(kExtSst);
  b.U16(static_cast<uint16_t>(per_bucket));
  for (const BucketEntry& e : buckets) {
    b.U32(e.stream_offset);
    b.U16(e.record_offset);
    b.U16(0);
  }
  b.EndRecord(length_at);
}

void WriteSheet(Buffer& b, const SheetPlan& plan, bool first) {
  WriteBof(b, 0x0010);
  const XlsTable* table = plan.table;
  size_t columns = table != nullptr ? table->columns : 0;
  bool header = table != nullptr && !table->header.empty();
  size_t rows = plan.row_count + (header ? 1 : 0);

  size_t at = b.BeginRecord(kDimensions);
  b.U32(0);
  b.U32(static_cast<uint32_t>(rows));
  b.U16(0);
  b.U16(static_cast<uint16_t>(rows == 0 ? 0 : columns));
  b.U16(0);
  b.EndRecord(at);

  uint16_t row = 0;
  if (header) {
    for (size_t c = 0; c < columns; ++c) {
      b.U16(kLabelSst);
      b.U16(10);
      b.U16(row);
      b.U16(static_cast<uint16_t>(c));
      b.U16(kCellXf);
      b.U32(table->header[c]);
    }
    ++row;
  }
  for (size_t r = 0; r < plan.row_count; ++r, ++row) {
    const XlsCell* cells = table->cells.data() + (plan.first_row + r) * columns;
    for (size_t c = 0; c < columns; ++c) {
      const XlsCell& cell = cells[c];
      if (cell.kind == XlsCellKind::Number) {
        b.U16(kNumber);
        b.U16(14);
        b.U16(row);
        b.U16(static_cast<uint16_t>(c));
        b.U16(kCellXf);
        b.F64(cell.number);
      } else if (cell.kind == XlsCellKind::Text) {
        b.U16(kLabelSst);
        b.U16(10);
        b.U16(row);
        b.U16(static_cast<uint16_t>(c));
        b.U16(kCellXf);
        b.U32(cell.text);
      }
    }
  }

  at = b.BeginRecord(kWindow2);
  b.U16(first ? kWindow2Plain | kWindow2SelectedActive : kWindow2Plain);
  b.U16(0);       // top row
  b.U16(0);       // left column
  b.U16(0x0040);  // grid colour
  b.U16(0);
  b.U16(0);  // page-break preview zoom
  b.U16(0);  // normal zoom
  b.U32(0);
  b.EndRecord(at);
  WriteEof(b);
}

uint32_t CountTextReferences(const std::vector<SheetPlan>& plans) {
  uint64_t n = 0;
  for (const SheetPlan& p : plans) {
    if (p.table == nullptr) continue;
    n += p.table->header.size();
    const XlsCell* cells = p.table->cells.data() + p.first_row * p.table->columns;
    for (size_t i = 0; i < p.row_count * p.table->columns; ++i) {
      if (cells[i].kind == XlsCellKind::Text) ++n;
    }
  }
  return static_cast<uint32_t>(std::min<uint64_t>(n, 0xFFFFFFFF));
}

// Wraps the workbook stream (already in `b` after the reserved header block)
// in a compound file: stream sectors, one directory sector, the allocation
// table and, for large files, its extension sectors.
void WrapInCompoundFile(Buffer& b) {
  size_t stream_length = b.Position();
  // A stream shorter than the cutoff would be looked up in the mini stream.
  if (stream_length < kMiniStreamCutoff) {
    b.Zeros(kMiniStreamCutoff - stream_length);
    stream_length = kMiniStreamCutoff;
  }
  size_t stream_sectors = (stream_length + kSector - 1) / kSector;
  b.Zeros(stream_sectors * kSector - stream_length);

  size_t fat = 1, difat = 0;
  for (;;) {
    size_t total = stream_sectors + 1 + fat + difat;
    size_t new_fat = (total + kIdsPerSector - 1) / kIdsPerSector;
    size_t new_difat = new_fat <= kHeaderFatSlots
                           ? 0
                           : (new_fat - kHeaderFatSlots + kIdsPerSector - 2) / (kIdsPerSector - 1);
    if (new_fat == fat && new_difat == difat) break;
    fat = new_fat;
    difat = new_difat;
  }
  const uint32_t dir_sector = static_cast<uint32_t>(stream_sectors);
  const uint32_t first_fat = dir_sector + 1;
  const uint32_t first_difat = first_fat + static_cast<uint32_t>(fat);

  // Directory: the root entry, the Workbook stream, two unused entries.
  auto entry = [&](const std::u16string& name, uint8_t type, uint32_t child, uint32_t start,
                   uint64_t size) {
    size_t begin = b.Bytes().size();
    for (char16_t c : name) b.U16(c);
    if (!name.empty()) b.U16(0);
    b.Zeros(64 - (b.Bytes().size() - begin));
    b.U16(static_cast<uint16_t>(name.empty() ? 0 : (name.size() + 1) * 2));
    b.U8(type);
    b.U8(name.empty() ? 0 : 1);  // black
    b.U32(kFreeSect);            // left sibling
    b.U32(kFreeSect);            // right sibling
    b.U32(child);
    b.Zeros(16 + 4 + 8 + 8);  // class id, state bits, times
    b.U32(start);
    b.U32(static_cast<uint32_t>(size));
    b.U32(static_cast<uint32_t>(size >> 32));
  };
  entry(u"Root Entry", 5, 1, kEndOfChain, 0);
  entry(u"Workbook", 2, kFreeSect, 0, stream_length);
  entry(u"", 0, kFreeSect, 0, 0);
  entry(u"", 0, kFreeSect, 0, 0);

  for (size_t s = 0; s < fat * kIdsPerSector; ++s) {
    uint32_t v = kFreeSect;
    if (s + 1 < stream_sectors) {
      v = static_cast<uint32_t>(s + 1);
    } else if (s + 1 == stream_sectors || s == dir_sector) {
      v = kEndOfChain;
    } else if (s >= first_fat && s < first_difat) {
      v = kFatSect;
    } else if (s >= first_difat && s < first_difat + difat) {
      v = kDifSect;
    }
    b.U32(v);
  }
  for (size_t d = 0; d < difat; ++d) {
    for (size_t k = 0; k < kIdsPerSector - 1; ++k) {
      size_t index = kHeaderFatSlots + d * (kIdsPerSector - 1) + k;
      b.U32(index < fat ? first_fat + static_cast<uint32_t>(index) : kFreeSect);
    }
    b.U32(d + 1 < difat ? first_difat + static_cast<uint32_t>(d + 1) : kEndOfChain);
  }

  // The header, in the block reserved at the front.
  std::string& out = b.Bytes();
  std::string header;
  header.reserve(kSector);
  const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  header.append(reinterpret_cast<const char*>(signature), 8);
  Buffer h(0);
  h.Zeros(16);    // class id
  h.U16(0x003E);  // minor version
  h.U16(0x0003);  // major version 3
  h.U16(0xFFFE);  // little-endian
  h.U16(9);       // 512-byte sectors
  h.U16(6);       // 64-byte mini sectors
  h.Zeros(6);     //
  h.U32(0);       // directory sectors (always 0 in version 3)
  h.U32(static_cast<uint32_t>(fat));
  h.U32(dir_sector);
  h.U32(0);  // transaction signature
  h.U32(kMiniStreamCutoff);
  h.U32(kEndOfChain);  // no mini allocation table
  h.U32(0);
  h.U32(difat == 0 ? kEndOfChain : first_difat);
  h.U32(static_cast<uint32_t>(difat));
  for (size_t k = 0; k < kHeaderFatSlots; ++k) {
    h.U32(k < fat ? first_fat + static_cast<uint32_t>(k) : kFreeSect);
  }
  header += h.Bytes();
  std::memcpy(out.data(), header.data(), kSector);
}

}  // namespace

void AppendUtf16(std::string_view s, std::u16string& out) {
  if (out.empty()) out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t len = 0;
    uint32_t cp = 0, min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4, cp = c & 0x07, min = 0x10000;
    }
    bool valid = len > 0 && i + len <= s.size();
    for (size_t k = 1; valid && k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) {
        valid = false;
      } else {
        cp = (cp << 6) | (t & 0x3F);
      }
    }
    if (valid && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
    if (!valid) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  AppendUtf16(utf8, out);
  return out;
}

bool XlsStringTable::Add(std::string_view utf8, uint32_t* index) {
  const size_t mask = slots_.size() - 1;
  size_t slot = std::hash<std::string_view>()(utf8) & mask;
  for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
    if (Utf8(slots_[slot] - 1) == utf8) {
      *index = slots_[slot] - 1;
      return true;
    }
  }
  size_t before = units_.size();
  AppendUtf16(utf8, units_);
  if (units_.size() - before > kXlsMaxTextUnits) {
    units_.resize(before);
    return false;
  }
  *index = static_cast<uint32_t>(size());
  unit_starts_.push_back(units_.size());
  utf8_.append(utf8);
  utf8_starts_.push_back(utf8_.size());
  slots_[slot] = *index + 1;
  if (size() * 2 > slots_.size()) Grow();
  return true;
}

void XlsStringTable::Grow() {
  std::vector<uint32_t> slots(slots_.size() * 2, 0);
  const size_t mask = slots.size() - 1;
  for (uint32_t i = 0; i < size(); ++i) {
    size_t slot = std::hash<std::string_view>()(Utf8(i)) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = i + 1;
  }
  slots_ = std::move(slots);
}

std::string SheetNameProblem(std::string_view name) {
  if (name.empty()) return "a sheet name cannot be empty";
  std::u16string units = Utf8ToUtf16(name);
  if (units.size() > kXlsMaxSheetNameUnits) return "a sheet name holds at most 31 characters";
  for (char16_t c : units) {
    if (c == 0xFFFD) return "a sheet name must be valid text";
    if (c < 0x20 || std::u16string_view(u":\\/?*[]").find(c) != std::u16string_view::npos) {
      return "a sheet name cannot hold control characters or any of : \\ / ? * [ ]";
    }
  }
  if (units.front() == u'\'' || units.back() == u'\'') {
    return "a sheet name cannot begin or end with a single quote";
  }
  return "";
}

std::vector<std::string> XlsSheetNames(const std::vector<XlsTable>& tables) {
  std::vector<std::string> names;
  for (const SheetPlan& p : PlanSheets(tables)) names.push_back(Utf16ToUtf8(p.name));
  return names;
}

std::string BuildXlsWorkbook(const std::vector<XlsTable>& tables, const XlsStringTable& strings) {
  std::vector<SheetPlan> plans = PlanSheets(tables);
  if (plans.empty()) plans.push_back({u"Sheet1", nullptr, 0, 0});

  size_t estimate = 4096;
  for (const SheetPlan& p : plans) {
    if (p.table != nullptr) estimate += (p.row_count + 1) * p.table->columns * 18;
  }
  for (size_t i = 0; i < strings.size(); ++i) {
    estimate += 3 + strings[static_cast<uint32_t>(i)].size() * 2;
  }
  Buffer b(kSector);
  b.Reserve(estimate + estimate / 64 + 4 * kSector);

  WriteBof(b, 0x0005);
  WriteFormats(b);
  std::vector<size_t> offset_at;
  for (const SheetPlan& p : plans) {
    size_t at = b.BeginRecord(kBoundSheet);
    offset_at.push_back(b.Absolute());
    b.U32(0);  // the sheet's stream offset, filled in below
    b.U8(0);   // visible
    b.U8(0);   // worksheet
    ShortString(b, p.name);
    b.EndRecord(at);
  }
  WriteSharedStrings(b, strings, CountTextReferences(plans));
  WriteEof(b);

  for (size_t i = 0; i < plans.size(); ++i) {
    b.PutU32(offset_at[i], static_cast<uint32_t>(b.Position()));
    WriteSheet(b, plans[i], i == 0);
  }
  WrapInCompoundFile(b);
  return std::move(b.Bytes());
}

}  // namespace tv
