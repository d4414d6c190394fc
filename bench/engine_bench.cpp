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
  // A call with two arguments: function(ident, number).
  void Call() {
    Function();
    Put("(");
    Ident();
    Put(", ");
    Number();
    Put(")");
  }
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
    w.Call();
    w.Put(";");
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
    w.Call();
    w.Put(";");
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
    w.Call();
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
  benchmark::RegisterBenchmark("BM_CountFileLines", BM_CountFileLines)
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
