// Speed of the counting loop: the five classifiers over text held in memory,
// and the line count and line reader over one large file on disk (warm
// cache). The sources are generated from a fixed seed, so every run measures
// the same bytes: realistic code of each family with comments of every kind,
// strings that hide comment markers, blank lines, indentation and some
// Chinese (GBK) comment text, about 35 bytes a line.
//
//   tallyvane_bench [benchmark flags]       runs the benchmarks
//   tallyvane_bench --generate PATH         writes the large file and exits
//
// TV_BENCH_MB sets the size of each text and of the file (default 100);
// TV_BENCH_FILE names the large file (default: a file in $TMPDIR or /tmp,
// written when missing or of the wrong size).
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/classifiers.h"
#include "engine/count.h"
#include "engine/source_lines.h"
#include "platform/file_reader.h"

namespace {

using tv::CodePage;
using tv::LanguageFamily;

// ---- Deterministic source generation ----

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
  bool Percent(unsigned p) { return Below(100) < p; }
  template <class T>
  const T& Pick(std::initializer_list<T> list) {
    return list.begin()[Below(list.size())];
  }

 private:
  uint64_t state_;
};

// Writes lines of one source text, with the pieces every family shares.
class Writer {
 public:
  Writer(uint64_t seed, std::string& out) : rng(seed), out_(out) {}

  Rng rng;

  void Indent(int depth, bool tabs = false) {
    if (depth <= 0) return;
    if (tabs) {
      out_.append(static_cast<size_t>(depth), '\t');
    } else {
      out_.append(static_cast<size_t>(depth) * 4, ' ');
    }
  }
  void Put(std::string_view s) { out_.append(s); }
  void End() { out_.append(rng.Percent(30) ? "\r\n" : "\n"); }
  void Ident() {
    Put(rng.Pick<std::string_view>({"count", "total", "index", "buffer", "length", "name", "value",
                                    "node", "result", "position", "size", "flags"}));
    if (rng.Percent(40)) Put(std::to_string(rng.Below(20)));
  }
  void Function() {
    Put(rng.Pick<std::string_view>({"ReadEntry", "compute_total", "LookupName", "std::min",
                                    "next_value", "Parse", "AppendItem"}));
  }
  void Number() { Put(std::to_string(rng.Below(rng.Percent(80) ? 100 : 100000))); }
  // A few words of comment text: English, or Chinese in GBK.
  void Words() {
    if (rng.Percent(25)) {
      Put(rng.Pick<std::string_view>({"\xb3\xf5\xca\xbc\xbb\xaf", "\xbc\xc6\xca\xfd\xc6\xf7",
                                      "\xb7\xb5\xbb\xd8\xbd\xe1\xb9\xfb",
                                      "\xb6\xc1\xc8\xa1\xd2\xbb\xd0\xd0",
                                      "\xbc\xec\xb2\xe9\xb2\xce\xca\xfd"}));
      return;
    }
    Put(rng.Pick<std::string_view>({"check the", "the next", "skip empty", "count all",
                                    "keep the last", "read one", "see below"}));
    Put(" ");
    Put(rng.Pick<std::string_view>({"line", "entry", "buffer", "value", "file", "item"}));
    if (rng.Percent(60)) {
      Put(rng.Pick<std::string_view>({" before the end", " of this table", " when it is set"}));
    }
  }
  size_t Size() const { return out_.size(); }

 private:
  std::string& out_;
};

void CFamilyLine(Writer& w, int& depth) {
  Rng& r = w.rng;
  const size_t kind = r.Below(100);
  if (kind < 12) return w.End();  // blank
  w.Indent(depth);
  if (kind < 18) {  // a documentation block over several lines
    w.Put("/**");
    w.End();
    for (size_t i = 0, n = 1 + r.Below(4); i < n; ++i) {
      w.Indent(depth);
      w.Put(" * ");
      w.Words();
      w.End();
    }
    w.Indent(depth);
    w.Put(" */");
  } else if (kind < 20) {
    w.Put("/* ");
    w.Words();
    w.Put(" */");
  } else if (kind < 28) {
    w.Put("// ");
    w.Words();
  } else if (kind < 35) {
    w.Ident();
    w.Put(" += ");
    w.Number();
    w.Put(";  // ");
    w.Words();
  } else if (kind < 38) {
    w.Put("call(");
    w.Ident();
    w.Put(" /* ");
    w.Words();
    w.Put(" */);");
  } else if (kind < 43) {  // strings holding comment markers
    w.Put(r.Pick<std::string_view>({"Log(\"see http://host/path\");",
                                    "const char* p = \"/* no comment */\";", "s = \"a // b\" + t;",
                                    "puts(\"*/\");"}));
  } else if (kind < 47 + (depth < 2 ? 3 : 0) && depth < 5) {
    w.Put(r.Pick<std::string_view>({"if (", "while ("}));
    w.Ident();
    w.Put(" < ");
    w.Number();
    w.Put(") {");
    ++depth;
  } else if (kind < 51 && depth > 0) {
    --depth;
    w.Put("}");
  } else if (kind < 60) {
    w.Put("return ");
    w.Ident();
    w.Put(";");
  } else {
    w.Put(r.Pick<std::string_view>({"int ", "size_t ", "auto ", ""}));
    w.Ident();
    w.Put(" = ");
    w.Function();
    w.Put("(");
    w.Ident();
    w.Put(", ");
    w.Number();
    w.Put(");");
  }
  w.End();
}

void SqlLine(Writer& w, int& depth) {
  Rng& r = w.rng;
  const size_t kind = r.Below(100);
  (void)depth;
  if (kind < 12) return w.End();
  if (r.Percent(85)) w.Indent(r.Percent(40) ? 1 : 2);
  if (kind < 18) {
    w.Put("/*");
    w.End();
    for (size_t i = 0, n = 1 + r.Below(4); i < n; ++i) {
      w.Put("   ");
      w.Words();
      w.End();
    }
    w.Put("*/");
  } else if (kind < 20) {
    w.Put("/* ");
    w.Words();
    w.Put(" */");
  } else if (kind < 30) {
    w.Put("-- ");
    w.Words();
  } else if (kind < 36) {
    w.Put("AND ");
    w.Ident();
    w.Put(" > ");
    w.Number();
    w.Put(" -- ");
    w.Words();
  } else if (kind < 40) {
    w.Put(r.Pick<std::string_view>(
        {"WHERE note <> '--';", "SET path = '/*x*/';", "SELECT 'a -- b' AS t"}));
  } else if (kind < 55) {
    w.Put("SELECT ");
    w.Ident();
    w.Put(", ");
    w.Ident();
    w.Put(", ");
    w.Ident();
    w.Put(" FROM customer_");
    w.Number();
  } else if (kind < 70) {
    w.Put("WHERE ");
    w.Ident();
    w.Put(" = ");
    w.Number();
    w.Put(" AND status <> 'closed'");
  } else if (kind < 80) {
    w.Put("INSERT INTO orders VALUES (");
    w.Number();
    w.Put(", 'pending', ");
    w.Number();
    w.Put(");");
  } else {
    w.Put(
        r.Pick<std::string_view>({"GO", "BEGIN TRANSACTION;", "COMMIT;",
                                  "ORDER BY created_at DESC;", "GROUP BY customer_name, region"}));
  }
  w.End();
}

void PascalLine(Writer& w, int& depth) {
  Rng& r = w.rng;
  const size_t kind = r.Below(100);
  if (kind < 12) return w.End();
  w.Indent(depth);
  if (kind < 16) {  // a brace comment over several lines
    w.Put("{ ");
    w.Words();
    w.End();
    for (size_t i = 0, n = r.Below(3); i < n; ++i) {
      w.Indent(depth);
      w.Put("  ");
      w.Words();
      w.End();
    }
    w.Indent(depth);
    w.Put("}");
  } else if (kind < 19) {
    w.Put("(* ");
    w.Words();
    w.End();
    w.Indent(depth);
    w.Put("   ");
    w.Words();
    w.Put(" *)");
  } else if (kind < 22) {
    w.Put(r.Pick<std::string_view>({"{ ", "(* "}));
    w.Words();
    w.Put(r.Pick<std::string_view>({" }", " *)"}));
  } else if (kind < 30) {
    w.Put("// ");
    w.Words();
  } else if (kind < 36) {
    w.Ident();
    w.Put(" := ");
    w.Number();
    w.Put("; // ");
    w.Words();
  } else if (kind < 40) {
    w.Put(r.Pick<std::string_view>(
        {"s := 'http://host/a';", "Caption := 'a { b';", "x := 1; { not seen }"}));
  } else if (kind < 45 + (depth < 2 ? 3 : 0) && depth < 5) {
    w.Put("begin");
    ++depth;
  } else if (kind < 50 && depth > 0) {
    --depth;
    w.Put("end;");
  } else if (kind < 55) {
    w.Put("procedure TForm1.Click(S: TObject);");
  } else {
    w.Ident();
    w.Put(" := ");
    w.Function();
    w.Put("(");
    w.Ident();
    w.Put(", ");
    w.Number();
    w.Put(");");
  }
  w.End();
}

void BasicLine(Writer& w, int& depth) {
  Rng& r = w.rng;
  const size_t kind = r.Below(100);
  if (kind < 12) return w.End();
  w.Indent(depth);
  if (kind < 22) {
    w.Put("' ");
    w.Words();
  } else if (kind < 29) {
    w.Ident();
    w.Put(" = ");
    w.Number();
    w.Put(" ' ");
    w.Words();
  } else if (kind < 35) {  // apostrophes inside strings
    w.Put(r.Pick<std::string_view>({"MsgBox \"it's done\"", "s = \"a'b\" ' note",
                                    "x = 1 ' say \"hi\"", "Print \"don't\" & s"}));
  } else if (kind < 40 + (depth < 2 ? 3 : 0) && depth < 5) {
    w.Put("If ");
    w.Ident();
    w.Put(" > ");
    w.Number();
    w.Put(" Then");
    ++depth;
  } else if (kind < 45 && depth > 0) {
    --depth;
    w.Put("End If");
  } else if (kind < 52) {
    w.Put("Dim ");
    w.Ident();
    w.Put(r.Pick<std::string_view>({" As Integer", " As String", " As Collection"}));
  } else if (kind < 55) {
    w.Put("REM old note");
  } else {
    w.Ident();
    w.Put(" = ");
    w.Function();
    w.Put("(");
    w.Ident();
    w.Put(", ");
    w.Number();
    w.Put(")");
  }
  w.End();
}

void AsmLine(Writer& w, int& depth) {
  Rng& r = w.rng;
  const size_t kind = r.Below(100);
  (void)depth;
  if (kind < 12) return w.End();
  if (kind < 22) {
    w.Put(";; ");
    w.Words();
    w.Put(r.Pick<std::string_view>({" (eax)", " (ecx, edx)", ""}));
  } else if (kind < 27) {
    w.Put("    ; ");
    w.Words();
  } else if (kind < 32) {
    w.Put("proc_");
    w.Ident();
    w.Put(":");
  } else if (kind < 35) {
    w.Put("msg db 'a;b', 0");
  } else {
    w.Indent(r.Percent(50) ? 1 : 2, r.Percent(50));
    w.Put(r.Pick<std::string_view>({"mov eax, ", "add ecx, ", "push ", "cmp edx, ", "lea esi, "}));
    w.Put(r.Pick<std::string_view>({"[ebp+", "dword ptr [esi+", "offset table_", ""}));
    w.Number();
    if (r.Percent(40)) w.Put(r.Pick<std::string_view>({"], ebx", "], 0FFh", "h"}));
    if (r.Percent(50)) {
      w.Put("\t; ");
      w.Words();
    }
  }
  w.End();
}

std::string Generate(LanguageFamily family, size_t bytes) {
  std::string out;
  out.reserve(bytes + 256);
  Writer w(0x7A11 + static_cast<uint64_t>(family), out);
  int depth = 0;
  while (w.Size() < bytes) {
    switch (family) {
      case LanguageFamily::CFamily:
        CFamilyLine(w, depth);
        break;
      case LanguageFamily::Sql:
        SqlLine(w, depth);
        break;
      case LanguageFamily::Pascal:
        PascalLine(w, depth);
        break;
      case LanguageFamily::Basic:
        BasicLine(w, depth);
        break;
      case LanguageFamily::Assembly:
        AsmLine(w, depth);
        break;
    }
  }
  return out;
}

size_t BenchBytes() {
  const char* mb = std::getenv("TV_BENCH_MB");
  size_t n = mb != nullptr ? std::strtoul(mb, nullptr, 10) : 0;
  return (n == 0 ? 100 : n) * 1000 * 1000;
}

template <LanguageFamily F>
const std::string& SourceText() {
  static const std::string text = Generate(F, BenchBytes());
  return text;
}

const std::string& TextOf(LanguageFamily f) {
  switch (f) {
    case LanguageFamily::CFamily:
      return SourceText<LanguageFamily::CFamily>();
    case LanguageFamily::Sql:
      return SourceText<LanguageFamily::Sql>();
    case LanguageFamily::Pascal:
      return SourceText<LanguageFamily::Pascal>();
    case LanguageFamily::Basic:
      return SourceText<LanguageFamily::Basic>();
    case LanguageFamily::Assembly:
      break;
  }
  return SourceText<LanguageFamily::Assembly>();
}

// ---- The large file ----

std::string BenchFilePath() {
  if (const char* named = std::getenv("TV_BENCH_FILE"); named != nullptr && *named != '\0') {
    return named;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  return dir + "/tallyvane-bench-" + std::to_string(BenchBytes() / 1000000) + "MB.cpp";
}

// Writes the C-family text to `path` unless the file already holds it.
bool EnsureFile(const std::string& path) {
  const std::string& text = TextOf(LanguageFamily::CFamily);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && static_cast<size_t>(st.st_size) == text.size()) {
    std::ifstream in(path, std::ios::binary);
    std::string have(text.size(), '\0');
    if (in.read(have.data(), static_cast<std::streamsize>(have.size())) && have == text) {
      return true;
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out.flush());
}

struct BenchFile {
  std::string path;
  uint64_t bytes = 0;
  uint64_t lines = 0;
  bool ok = false;
};

const BenchFile& TheFile() {
  static const BenchFile file = [] {
    BenchFile f;
    f.path = BenchFilePath();
    f.ok = EnsureFile(f.path);
    f.bytes = TextOf(LanguageFamily::CFamily).size();
    f.lines = tv::CountTextLines(TextOf(LanguageFamily::CFamily));
    // One untimed pass, so the file is in the page cache.
    if (f.ok) f.ok = tv::CountFileLines(f.path) == f.lines;
    return f;
  }();
  return file;
}

// ---- Prototype: a block scanner in front of the classifiers ----
//
// Shows what the counting loop can gain without changing a single rule. The
// text is scanned 64 bytes at a time with SSE2 into three bit masks: line
// feeds, bytes of the family's comment and string markers, and bytes that
// are neither space, tab nor carriage return. A line with no marker byte and
// at least one other byte can never be blank, and every classifier gives it
// the same result as any other such line in the same state, without changing
// its state (it can only continue an open comment or string, or be code). So
// the classifier is asked once, with a stand-in line "x", and the answer is
// reused until the next line that holds a marker byte; only lines with a
// marker byte, or with nothing but blanks, go through the full rules.

struct Masks {
  uint64_t line_feed, marker, filled;
};

template <size_t N>
Masks ScanBlock(const char* p, const char (&markers)[N]) {
  Masks m{0, 0, 0};
#if defined(__SSE2__)
  const __m128i nl = _mm_set1_epi8('\n');
  const __m128i sp = _mm_set1_epi8(' ');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i cr = _mm_set1_epi8('\r');
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    __m128i mk = _mm_setzero_si128();
    for (size_t k = 0; k + 1 < N; ++k)
      mk = _mm_or_si128(mk, _mm_cmpeq_epi8(v, _mm_set1_epi8(markers[k])));
    const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, sp), _mm_cmpeq_epi8(v, tab)),
                                       _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, nl)));
    const int shift = 16 * i;
    m.line_feed |=
        static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, nl))))
        << shift;
    m.marker |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(mk))) << shift;
    m.filled |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(blank))) << shift;
  }
#else
  for (int i = 0; i < 64; ++i) {
    const char c = p[i];
    bool mk = false;
    for (size_t k = 0; k + 1 < N; ++k) mk |= c == markers[k];
    m.line_feed |= static_cast<uint64_t>(c == '\n') << i;
    m.marker |= static_cast<uint64_t>(mk) << i;
    m.filled |= static_cast<uint64_t>(c != ' ' && c != '\t' && c != '\r' && c != '\n') << i;
  }
#endif
  return m;
}

template <class Classifier, size_t N>
tv::FileTally ProtoCountText(std::string_view text, CodePage cp, const char (&markers)[N],
                             bool prefilter) {
  if (const size_t eof = text.find('\x1A'); eof != std::string_view::npos) {
    text = text.substr(0, eof);
  }
  Classifier classifier(cp);
  tv::FileTally tally;
  tv::LineClass plain = tv::LineClass::Code;
  bool plain_known = false;
  const char* const base = text.data();
  const size_t n = text.size();
  size_t line_start = 0;
  bool marker = false, filled = false;

  auto finish = [&](size_t end, bool had_line_feed) {
    ++tally.total;
    if (prefilter && filled && !marker) {
      if (!plain_known) {
        plain = classifier.Classify("x");
        plain_known = true;
      }
      Apply(plain, tally);
      return;
    }
    size_t len = end - line_start;
    if (had_line_feed && len > 0 && base[end - 1] == '\r') --len;
    Apply(classifier.Classify(std::string_view(base + line_start, len)), tally);
    plain_known = false;
  };

  char tail[64];
  for (size_t block = 0; block < n; block += 64) {
    const char* p = base + block;
    if (n - block < 64) {
      std::memset(tail, ' ', sizeof tail);
      std::memcpy(tail, p, n - block);
      p = tail;
    }
    const Masks m = ScanBlock(p, markers);
    // Where the current line begins in this block (0 when it began before).
    size_t from = line_start > block ? line_start - block : 0;
    for (uint64_t feeds = m.line_feed; feeds != 0; feeds &= feeds - 1) {
      const size_t at = static_cast<size_t>(__builtin_ctzll(feeds));
      const uint64_t range = (at == 0 ? 0 : ~0ull >> (64 - at)) & (~0ull << from);
      marker |= (m.marker & range) != 0;
      filled |= (m.filled & range) != 0;
      finish(block + at, true);
      line_start = block + at + 1;
      from = at + 1;
      marker = filled = false;
    }
    if (from < 64) {
      const uint64_t rest = ~0ull << from;
      marker |= (m.marker & rest) != 0;
      filled |= (m.filled & rest) != 0;
    }
  }
  if (line_start < n) finish(n, false);
  return tally;
}

tv::FileTally ProtoCount(LanguageFamily family, std::string_view text, CodePage cp,
                         bool prefilter) {
  switch (family) {
    case LanguageFamily::CFamily:
      return ProtoCountText<tv::CFamilyClassifier>(text, cp, "/\"", prefilter);
    case LanguageFamily::Sql:
      return ProtoCountText<tv::SqlClassifier>(text, cp, "-/", prefilter);
    case LanguageFamily::Pascal:
      return ProtoCountText<tv::PascalClassifier>(text, cp, "/{}*", prefilter);
    case LanguageFamily::Basic:
      return ProtoCountText<tv::BasicClassifier>(text, cp, "'", prefilter);
    case LanguageFamily::Assembly:
      break;
  }
  return ProtoCountText<tv::AsmClassifier>(text, cp, ";", prefilter);
}

// Adds the counting action `c` for `k` lines at once.
void ApplyTimes(tv::LineClass c, uint64_t k, tv::FileTally& t) {
  switch (c) {
    case tv::LineClass::Blank:
      t.blank += k;
      break;
    case tv::LineClass::Code:
      t.code += k;
      break;
    case tv::LineClass::Comment:
      t.comment += k;
      break;
    case tv::LineClass::CodeAndComment:
      t.code += k;
      t.comment += k;
      break;
    case tv::LineClass::DoubleCodeAndComment:
      t.code += 2 * k;
      t.comment += k;
      break;
  }
}

// Bits set in `x`. Without POPCNT among the compile flags the builtin becomes
// a library call, so this is written out.
inline uint64_t Ones(uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return (x * 0x0101010101010101ull) >> 56;
}

// a + b + carry_in, returning the carry out.
inline bool AddWithCarry(uint64_t a, uint64_t b, bool carry_in, uint64_t& sum) {
  uint64_t s = a + b;
  bool c = s < a;
  sum = s + (carry_in ? 1 : 0);
  return c || sum < s;
}

// The same counting without visiting the plain lines one by one. Within a
// block, adding a marker bit to the mask of non-line-feed bytes carries it up
// to the line feed that ends its line, so one addition marks every line that
// holds a marker byte (and the carry out of the block continues the line
// into the next block); the same for bytes that are not blanks. Only the
// marked lines and the lines of blanks are visited; the plain lines between
// them are counted with one popcount each and receive the plain answer.
template <class Classifier, size_t N>
tv::FileTally BulkCountText(std::string_view text, CodePage cp, const char (&markers)[N]) {
  if (const size_t eof = text.find('\x1A'); eof != std::string_view::npos) {
    text = text.substr(0, eof);
  }
  constexpr bool kStateless = std::is_same_v<Classifier, tv::BasicClassifier> ||
                              std::is_same_v<Classifier, tv::AsmClassifier>;
  Classifier classifier(cp);
  tv::FileTally tally;
  tv::LineClass plain = tv::LineClass::Code;
  bool plain_known = false;
  uint64_t plain_lines = 0;  // plain lines since the last visited line
  const char* const base = text.data();
  const size_t n = text.size();

  auto flush = [&] {
    if (plain_lines == 0) return;
    if (!plain_known) {
      plain = classifier.Classify("x");
      plain_known = true;
    }
    ApplyTimes(plain, plain_lines, tally);
    plain_lines = 0;
  };
  auto visit = [&](size_t start, size_t end, bool had_line_feed) {
    flush();
    size_t len = end - start;
    if (had_line_feed && len > 0 && base[end - 1] == '\r') --len;
    if (len == 0) {  // an empty line is blank in every state and changes none
      ++tally.blank;
      return;
    }
    Apply(classifier.Classify(std::string_view(base + start, len)), tally);
    // The Basic and assembly classifiers keep no state, so their answer for
    // plain lines never changes; the others may have opened or closed a
    // comment or string.
    plain_known = plain_known && kStateless;
  };

  size_t line_start = 0;  // start of the line that runs into the next block
  bool marker_carry = false, filled_carry = false;
  char tail[64];
  for (size_t block = 0; block < n; block += 64) {
    const char* p = base + block;
    if (n - block < 64) {
      std::memset(tail, ' ', sizeof tail);
      std::memcpy(tail, p, n - block);
      p = tail;
    }
    const Masks m = ScanBlock(p, markers);
    const uint64_t nl = m.line_feed;
    uint64_t marked, filled;
    marker_carry = AddWithCarry(~nl, m.marker, marker_carry, marked);
    filled_carry = AddWithCarry(~nl, m.filled, filled_carry, filled);
    const uint64_t visit_ends = (marked | ~filled) & nl;
    const uint64_t plain_ends = nl & ~visit_ends;
    tally.total += Ones(nl);
    uint64_t below = 0;  // line feeds of this block already accounted for
    for (uint64_t v = visit_ends; v != 0; v &= v - 1) {
      const unsigned at = static_cast<unsigned>(__builtin_ctzll(v));
      const uint64_t upto = (1ull << at) - 1;
      plain_lines += Ones(plain_ends & upto & ~below);
      const uint64_t earlier = nl & upto;
      const size_t start = earlier != 0 ? block + 64 - __builtin_clzll(earlier) : line_start;
      visit(start, block + at, true);
      below = upto | (1ull << at);
    }
    plain_lines += Ones(plain_ends & ~below);
    if (nl != 0) line_start = block + 64 - __builtin_clzll(nl);
  }
  if (line_start < n) {  // a last line without a line feed
    ++tally.total;
    if (marker_carry || !filled_carry) {
      visit(line_start, n, false);
    } else {
      ++plain_lines;
    }
  }
  flush();
  return tally;
}

tv::FileTally BulkCount(LanguageFamily family, std::string_view text, CodePage cp) {
  switch (family) {
    case LanguageFamily::CFamily:
      return BulkCountText<tv::CFamilyClassifier>(text, cp, "/\"");
    case LanguageFamily::Sql:
      return BulkCountText<tv::SqlClassifier>(text, cp, "-/");
    case LanguageFamily::Pascal:
      return BulkCountText<tv::PascalClassifier>(text, cp, "/{}*");
    case LanguageFamily::Basic:
      return BulkCountText<tv::BasicClassifier>(text, cp, "'");
    case LanguageFamily::Assembly:
      break;
  }
  return BulkCountText<tv::AsmClassifier>(text, cp, ";");
}

// ---- Benchmarks ----

void SetCounters(benchmark::State& state, uint64_t bytes, uint64_t lines) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["bytes_per_line"] = static_cast<double>(bytes) / static_cast<double>(lines);
  state.counters["ns_per_line"] =
      benchmark::Counter(static_cast<double>(state.iterations() * lines) * 1e-9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Classify(benchmark::State& state, LanguageFamily family, CodePage cp) {
  const std::string& text = TextOf(family);
  tv::FileTally tally;
  for (auto _ : state) {
    tally = tv::CountText(family, text, cp);
    benchmark::DoNotOptimize(tally);
  }
  state.counters["code"] = static_cast<double>(tally.code);
  state.counters["comment"] = static_cast<double>(tally.comment);
  state.counters["blank"] = static_cast<double>(tally.blank);
  SetCounters(state, text.size(), tally.total);
}

// The prototype over the same text; refuses to time it unless its tally is
// exactly that of CountText.
void BM_Proto(benchmark::State& state, LanguageFamily family, CodePage cp, int variant) {
  const std::string& text = TextOf(family);
  const tv::FileTally expected = tv::CountText(family, text, cp);
  auto count = [&] {
    return variant == 2 ? BulkCount(family, text, cp) : ProtoCount(family, text, cp, variant == 1);
  };
  tv::FileTally tally = count();
  if (!(tally == expected)) return state.SkipWithError("the prototype counts differently");
  for (auto _ : state) {
    tally = count();
    benchmark::DoNotOptimize(tally);
  }
  SetCounters(state, text.size(), tally.total);
}

void BM_CountFileLines(benchmark::State& state) {
  const BenchFile& file = TheFile();
  if (!file.ok) return state.SkipWithError("cannot write or read the benchmark file");
  uint64_t lines = 0;
  for (auto _ : state) {
    lines = tv::CountFileLines(file.path);
    benchmark::DoNotOptimize(lines);
  }
  if (lines != file.lines) return state.SkipWithError("wrong line count");
  SetCounters(state, file.bytes, file.lines);
}

void BM_ReadSourceLine(benchmark::State& state) {
  const BenchFile& file = TheFile();
  if (!file.ok) return state.SkipWithError("cannot write or read the benchmark file");
  uint64_t lines = 0;
  for (auto _ : state) {
    tv::SourceLineReader reader;
    if (!reader.Open(file.path)) return state.SkipWithError("cannot open the benchmark file");
    std::string_view line;
    uint64_t n = 0, bytes = 0;
    while (reader.ReadSourceLine(line)) {
      ++n;
      bytes += line.size();
    }
    benchmark::DoNotOptimize(bytes);
    lines = n;
  }
  if (lines != file.lines) return state.SkipWithError("wrong line count");
  SetCounters(state, file.bytes, file.lines);
}

// Prototype: the line count of a file.
//
// CountFileLines reads 128 KiB at a time and counts line feeds with SSE2.
// Most of its time is the kernel's copy out of the page cache, so the
// variants change the read size and count with AVX2 where the processor has
// it (chosen at run time; the build stays for any x86-64).

#if defined(__x86_64__)
__attribute__((target("avx2"))) uint64_t CountFeedsAvx2(const char* p, size_t n) {
  uint64_t count = 0;
  size_t i = 0;
  const __m256i nl = _mm256_set1_epi8('\n');
  while (n - i >= 32) {
    size_t blocks = (n - i) / 32;
    if (blocks > 255) blocks = 255;
    __m256i acc = _mm256_setzero_si256();
    for (size_t b = 0; b < blocks; ++b, i += 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
      acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(v, nl));
    }
    const __m256i sums = _mm256_sad_epu8(acc, _mm256_setzero_si256());
    count += static_cast<uint64_t>(_mm256_extract_epi64(sums, 0)) +
             static_cast<uint64_t>(_mm256_extract_epi64(sums, 1)) +
             static_cast<uint64_t>(_mm256_extract_epi64(sums, 2)) +
             static_cast<uint64_t>(_mm256_extract_epi64(sums, 3));
  }
  for (; i < n; ++i) count += p[i] == '\n';
  return count;
}
#endif

uint64_t CountFeedsPlain(const char* p, size_t n) {
  uint64_t count = 0;
  for (size_t i = 0; i < n; ++i) count += p[i] == '\n';
  return count;
}

// The same count as CountFileLines (line feeds, a last line without one,
// the end mark 0x1A), with `chunk` bytes a read.
uint64_t ProtoCountFileLines(const std::string& path, size_t chunk, bool avx2) {
  tv::FileReader file;
  if (!file.Open(path)) return 0;
  std::unique_ptr<char[]> buffer(new char[chunk]);
  uint64_t lines = 0;
  bool partial = false;
  for (;;) {
    size_t n = file.Read(buffer.get(), chunk);
    if (n == 0) break;
    const void* mark = std::memchr(buffer.get(), '\x1A', n);
    if (mark != nullptr) n = static_cast<size_t>(static_cast<const char*>(mark) - buffer.get());
    if (n > 0) {
#if defined(__x86_64__)
      lines += avx2 ? CountFeedsAvx2(buffer.get(), n) : CountFeedsPlain(buffer.get(), n);
#else
      (void)avx2;
      lines += CountFeedsPlain(buffer.get(), n);
#endif
      partial = buffer[n - 1] != '\n';
    }
    if (mark != nullptr) break;
  }
  return lines + (partial ? 1 : 0);
}

void BM_ProtoCountFileLines(benchmark::State& state) {
  const BenchFile& file = TheFile();
  if (!file.ok) return state.SkipWithError("cannot write or read the benchmark file");
  const size_t chunk = static_cast<size_t>(state.range(0)) * 1024;
#if defined(__x86_64__)
  const bool avx2 = __builtin_cpu_supports("avx2");
#else
  const bool avx2 = false;
#endif
  uint64_t lines = 0;
  for (auto _ : state) {
    lines = ProtoCountFileLines(file.path, chunk, avx2);
    benchmark::DoNotOptimize(lines);
  }
  if (lines != file.lines) return state.SkipWithError("wrong line count");
  SetCounters(state, file.bytes, file.lines);
}

// The whole classifier contract over the file: reading plus classifying.
void BM_CountCFamilyFile(benchmark::State& state) {
  const BenchFile& file = TheFile();
  if (!file.ok) return state.SkipWithError("cannot write or read the benchmark file");
  tv::FileTally tally;
  for (auto _ : state) {
    tv::RunTotals totals;
    tv::CountCFamilyFile(file.path, tally, totals, tv::CountOptions{});
    benchmark::DoNotOptimize(tally);
  }
  if (tally.total != file.lines) return state.SkipWithError("wrong line count");
  SetCounters(state, file.bytes, file.lines);
}

void RegisterAll() {
  struct Family {
    const char* name;
    LanguageFamily family;
  };
  const Family families[] = {{"CFamily", LanguageFamily::CFamily},
                             {"Sql", LanguageFamily::Sql},
                             {"Pascal", LanguageFamily::Pascal},
                             {"Basic", LanguageFamily::Basic},
                             {"Assembly", LanguageFamily::Assembly}};
  for (const Family& f : families) {
    for (CodePage cp : {CodePage::Gbk, CodePage::Utf8}) {
      std::string name =
          std::string("BM_Classify") + f.name + (cp == CodePage::Gbk ? "/gbk" : "/utf8");
      benchmark::RegisterBenchmark(name.c_str(), BM_Classify, f.family, cp)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  // Prototypes: the block scanner splitting lines only, with the prefilter,
  // and counting the plain lines in bulk.
  for (const Family& f : families) {
    for (int variant : {0, 1, 2}) {
      const char* kinds[] = {"Proto_SplitOnly", "Proto_Prefilter", "Proto_Bulk"};
      std::string name = std::string(kinds[variant]) + f.name + "/gbk";
      benchmark::RegisterBenchmark(name.c_str(), BM_Proto, f.family, CodePage::Gbk, variant)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  benchmark::RegisterBenchmark("BM_CountFileLines", BM_CountFileLines)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("Proto_CountFileLines", BM_ProtoCountFileLines)
      ->Arg(64)
      ->Arg(128)
      ->Arg(256)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_ReadSourceLine", BM_ReadSourceLine)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_CountCFamilyFile", BM_CountCFamilyFile)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
    const std::string& text = TextOf(LanguageFamily::CFamily);
    if (!EnsureFile(argv[2])) {
      std::fprintf(stderr, "cannot write %s\n", argv[2]);
      return 1;
    }
    std::printf("%s: %zu bytes, %llu lines\n", argv[2], text.size(),
                static_cast<unsigned long long>(tv::CountTextLines(text)));
    return 0;
  }
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
