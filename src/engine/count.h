// Counting whole files: the classifier contract.
//
// Each entry zeroes the tally, reads the file line by line to its end,
// classifies every line, adds 1 to `total` per line, advances the progress
// counter when there is one, and adds the file's code, comment and blank
// lines to the run totals. A file that cannot be opened leaves the tally all
// zero. A file is read to its end unless the options' abort flag is set: no
// entry looks at a stop request.
#pragma once

#include <string>
#include <string_view>

#include "engine/tally.h"

namespace tv {

void CountCFamilyFile(const std::string& path, FileTally& tally, RunTotals& totals,
                      const CountOptions& options);
/// Java files: counted exactly as the C family.
void CountJavaFile(const std::string& path, FileTally& tally, RunTotals& totals,
                   const CountOptions& options);
void CountSqlFile(const std::string& path, FileTally& tally, RunTotals& totals,
                  const CountOptions& options);
void CountPascalFile(const std::string& path, FileTally& tally, RunTotals& totals,
                     const CountOptions& options);
void CountBasicFile(const std::string& path, FileTally& tally, RunTotals& totals,
                    const CountOptions& options);
void CountAsmFile(const std::string& path, FileTally& tally, RunTotals& totals,
                  const CountOptions& options);

/// The classifier of `family`.
void CountFile(LanguageFamily family, const std::string& path, FileTally& tally, RunTotals& totals,
               const CountOptions& options);

/// The same counting over text held in memory (benchmarks, tests, fuzzing).
FileTally CountText(LanguageFamily family, std::string_view text, CodePage cp);

}  // namespace tv
