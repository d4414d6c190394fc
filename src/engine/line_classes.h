// The class of every line of one file, in order: what the source viewer
// shows. The lines and their classes come from the same line reader and
// classifiers that count, so the classes, each applied with Apply, add up to
// the file's tally. Counting itself never goes through here.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/count.h"
#include "engine/tally.h"

namespace tv {

/// Receives each line's class in order; returning false stops the reading.
using LineClassSink = std::function<bool(LineClass)>;

/// Classifies the lines of `text` as `family` counts them.
std::vector<LineClass> ClassifyLines(LanguageFamily family, std::string_view text, CodePage cp);

/// Classifies the lines of the file at `path`, handing each class to `sink`
/// as soon as its line is read. False when the file cannot be opened.
bool ClassifyFileLines(LanguageFamily family, const std::string& path, CodePage cp,
                       const LineClassSink& sink);

}  // namespace tv
