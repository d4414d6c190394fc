#include "engine/line_classes.h"

#include "engine/classifiers.h"
#include "engine/source_lines.h"

namespace tv {

namespace {

// Every line goes to the classifier, plain lines included: a plain line's
// class is the one the counting loop gives it without asking.
template <class Classifier>
void ClassifyAll(SourceLineReader& reader, CodePage cp, const LineClassSink& sink) {
  Classifier classifier(cp);
  std::string_view line;
  while (reader.ReadSourceLine(line)) {
    if (!sink(classifier.Classify(line))) return;
  }
}

void ClassifyReader(LanguageFamily family, SourceLineReader& reader, CodePage cp,
                    const LineClassSink& sink) {
  switch (family) {
    case LanguageFamily::CFamily:
      return ClassifyAll<CFamilyClassifier>(reader, cp, sink);
    case LanguageFamily::Sql:
      return ClassifyAll<SqlClassifier>(reader, cp, sink);
    case LanguageFamily::Pascal:
      return ClassifyAll<PascalClassifier>(reader, cp, sink);
    case LanguageFamily::Basic:
      return ClassifyAll<BasicClassifier>(reader, cp, sink);
    case LanguageFamily::Assembly:
      return ClassifyAll<AsmClassifier>(reader, cp, sink);
  }
}

}  // namespace

std::vector<LineClass> ClassifyLines(LanguageFamily family, std::string_view text, CodePage cp) {
  std::vector<LineClass> classes;
  SourceLineReader reader;
  reader.OpenText(text);
  ClassifyReader(family, reader, cp, [&classes](LineClass c) {
    classes.push_back(c);
    return true;
  });
  return classes;
}

bool ClassifyFileLines(LanguageFamily family, const std::string& path, CodePage cp,
                       const LineClassSink& sink) {
  SourceLineReader reader;
  if (!reader.Open(path)) return false;
  ClassifyReader(family, reader, cp, sink);
  return true;
}

}  // namespace tv
