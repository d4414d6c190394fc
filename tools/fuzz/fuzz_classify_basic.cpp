// Fuzzes the Basic classifier: first byte = code page, rest = the file's text.
#include <cstddef>
#include <cstdint>

#include "classifier_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tv::fuzz::ClassifierTraits kTraits{tv::LanguageFamily::Basic, "'", 1,
                                                  &tv::TrimSourceLine};
  tv::fuzz::FuzzClassifier<tv::BasicClassifier>(kTraits, data, size);
  return 0;
}
