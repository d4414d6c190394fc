#include "engine/count.h"

#include "engine/classifiers.h"
#include "engine/source_lines.h"

namespace tv {

namespace {

// Progress is published every this many lines and at the end of each file, so
// the per-line cost stays a local increment.
constexpr uint64_t kProgressBatch = 4096;

template <class Classifier>
void CountLines(SourceLineReader& reader, FileTally& tally, CodePage cp,
                std::atomic<uint64_t>* progress) {
  Classifier classifier(cp);
  std::string_view line;
  uint64_t unpublished = 0;
  while (reader.ReadSourceLine(line)) {
    Apply(classifier.Classify(line), tally);
    ++tally.total;
    if (progress != nullptr && ++unpublished == kProgressBatch) {
      progress->fetch_add(unpublished, std::memory_order_relaxed);
      unpublished = 0;
    }
  }
  if (progress != nullptr && unpublished != 0) {
    progress->fetch_add(unpublished, std::memory_order_relaxed);
  }
}

template <class Classifier>
void CountPath(const std::string& path, FileTally& tally, RunTotals& totals,
               const CountOptions& options) {
  tally = FileTally{};
  SourceLineReader reader;
  if (!reader.Open(path)) return;
  CountLines<Classifier>(reader, tally, options.code_page, options.progress);
  totals.Add(tally);
}

}  // namespace

void CountCFamilyFile(const std::string& path, FileTally& tally, RunTotals& totals,
                      const CountOptions& options) {
  CountPath<CFamilyClassifier>(path, tally, totals, options);
}

void CountJavaFile(const std::string& path, FileTally& tally, RunTotals& totals,
                   const CountOptions& options) {
  CountCFamilyFile(path, tally, totals, options);
}

void CountSqlFile(const std::string& path, FileTally& tally, RunTotals& totals,
                  const CountOptions& options) {
  CountPath<SqlClassifier>(path, tally, totals, options);
}

void CountPascalFile(const std::string& path, FileTally& tally, RunTotals& totals,
                     const CountOptions& options) {
  CountPath<PascalClassifier>(path, tally, totals, options);
}

void CountBasicFile(const std::string& path, FileTally& tally, RunTotals& totals,
                    const CountOptions& options) {
  CountPath<BasicClassifier>(path, tally, totals, options);
}

void CountAsmFile(const std::string& path, FileTally& tally, RunTotals& totals,
                  const CountOptions& options) {
  CountPath<AsmClassifier>(path, tally, totals, options);
}

void CountFile(LanguageFamily family, const std::string& path, FileTally& tally,
               RunTotals& totals, const CountOptions& options) {
  switch (family) {
    case LanguageFamily::CFamily: return CountCFamilyFile(path, tally, totals, options);
    case LanguageFamily::Sql: return CountSqlFile(path, tally, totals, options);
    case LanguageFamily::Pascal: return CountPascalFile(path, tally, totals, options);
    case LanguageFamily::Basic: return CountBasicFile(path, tally, totals, options);
    case LanguageFamily::Assembly: return CountAsmFile(path, tally, totals, options);
  }
}

FileTally CountText(LanguageFamily family, std::string_view text, CodePage cp) {
  FileTally tally;
  SourceLineReader reader;
  reader.OpenText(text);
  switch (family) {
    case LanguageFamily::CFamily: CountLines<CFamilyClassifier>(reader, tally, cp, nullptr); break;
    case LanguageFamily::Sql: CountLines<SqlClassifier>(reader, tally, cp, nullptr); break;
    case LanguageFamily::Pascal: CountLines<PascalClassifier>(reader, tally, cp, nullptr); break;
    case LanguageFamily::Basic: CountLines<BasicClassifier>(reader, tally, cp, nullptr); break;
    case LanguageFamily::Assembly: CountLines<AsmClassifier>(reader, tally, cp, nullptr); break;
  }
  return tally;
}

}  // namespace tv
