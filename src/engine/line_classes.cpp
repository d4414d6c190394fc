#include "engine/line_classes.h"

#include "engine/classifiers.h"
#include "engine/source_lines.h"

namespace tv {

namespace {

// Every line goes to the classifier, plain lines included: a plain line's
// class is the one the counting loop gives it without asking.
template <class Classifier>
void ClassifyAll(SourceLineReader& reader, CodePage cp, const std::atomic<bool>* stop,
                 std::vector<LineClass>& classes) {
  Classifier classifier(cp);
  std::string_view line;
  size_t since_check = 0;
  while (reader.ReadSourceLine(line)) {
    classes.push_back(classifier.Classify(line));
    since_check += line.size() + 1;
    if (since_check >= kStopCheckBytes) {
      since_check = 0;
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return;
    }
  }
}

}  // namespace

std::vector<LineClass> ClassifyLines(LanguageFamily family, std::string_view text, CodePage cp,
                                     const std::atomic<bool>* stop) {
  std::vector<LineClass> classes;
  SourceLineReader reader;
  reader.OpenText(text);
  switch (family) {
    case LanguageFamily::CFamily:
      ClassifyAll<CFamilyClassifier>(reader, cp, stop, classes);
      break;
    case LanguageFamily::Sql:
      ClassifyAll<SqlClassifier>(reader, cp, stop, classes);
      break;
    case LanguageFamily::Pascal:
      ClassifyAll<PascalClassifier>(reader, cp, stop, classes);
      break;
    case LanguageFamily::Basic:
      ClassifyAll<BasicClassifier>(reader, cp, stop, classes);
      break;
    case LanguageFamily::Assembly:
      ClassifyAll<AsmClassifier>(reader, cp, stop, classes);
      break;
  }
  return classes;
}

}  // namespace tv
