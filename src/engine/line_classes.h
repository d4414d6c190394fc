// The class of every line of one file's text, in order: what the source
// viewer shows. The lines and their classes come from the same line reader
// and classifiers that count, so the classes, each applied with Apply, add
// up to the text's tally. Counting itself never goes through here.
#pragma once

#include <atomic>
#include <string_view>
#include <vector>

#include "engine/count.h"
#include "engine/tally.h"

namespace tv {

/// Classifies the lines of `text` as `family` counts them. `stop` (null:
/// never) is read between lines once per kStopCheckBytes of text; once it
/// is set the classes found so far are returned.
std::vector<LineClass> ClassifyLines(LanguageFamily family, std::string_view text, CodePage cp,
                                     const std::atomic<bool>* stop = nullptr);

inline constexpr size_t kStopCheckBytes = 64 * 1024;

}  // namespace tv
