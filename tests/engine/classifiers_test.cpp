// Line-by-line classification of the five language families. The cases live
// in tests/data/engine/line_classes/, one file per family; the head of each
// file says how they are written.
#include "engine/classifiers.h"

#include <optional>
#include <ostream>

#include "engine/count.h"
#include "test_util.h"

namespace tv {

void PrintTo(const FileTally& t, std::ostream* os);  // in count_test.cpp

namespace {

constexpr std::string_view kClassNames[] = {"B", "K", "M", "KM", "KKM"};

struct LineCase {
  std::string name;  // family, number and title of the case
  LanguageFamily family;
  CodePage cp;
  bool each;  // every line is the first line of a file of its own
  std::vector<std::string> lines = {};
  std::vector<LineClass> classes = {};
};

std::vector<LineCase> ReadLineCases() {
  const char* const files[] = {"cfamily", "sql", "pascal", "basic", "asm"};  // family order
  std::vector<LineCase> cases;
  for (int family = 0; family < 5; ++family) {
    const std::string file = files[family];
    for (const test::TableCase& row :
         test::ReadEscapedTableCases("engine/line_classes/" + file + ".txt")) {
      const std::vector<std::string>& f = row.in;
      if (f[0] == "==") {
        const std::string flag = f.size() > 2 ? f[2] : "";
        cases.push_back({file + "_" + std::to_string(cases.size()) + "_" + f.at(1),
                         static_cast<LanguageFamily>(family),
                         flag == "utf-8" ? CodePage::Utf8 : CodePage::Gbk, flag == "each"});
        continue;
      }
      const auto* cls = std::find(std::begin(kClassNames), std::end(kClassNames), f[0]);
      EXPECT_TRUE(cls != std::end(kClassNames) && !cases.empty()) << file << ": " << row.line;
      if (cls == std::end(kClassNames) || cases.empty()) continue;
      cases.back().classes.push_back(static_cast<LineClass>(cls - std::begin(kClassNames)));
      cases.back().lines.push_back(f.size() > 1 ? f[1] : "");
    }
  }
  return cases;
}

std::string Names(const std::vector<LineClass>& classes) {
  std::string out;
  for (LineClass c : classes) out += std::string(kClassNames[static_cast<int>(c)]) + " ";
  return out;
}

template <class Classifier>
std::vector<LineClass> Run(const LineCase& c) {
  std::optional<Classifier> classifier;
  std::vector<LineClass> out;
  for (const std::string& line : c.lines) {
    if (c.each || !classifier) classifier.emplace(c.cp);
    out.push_back(classifier->Classify(line));
  }
  return out;
}

std::vector<LineClass> Classify(const LineCase& c) {
  using RunFn = std::vector<LineClass> (*)(const LineCase&);
  const RunFn runs[] = {Run<CFamilyClassifier>, Run<SqlClassifier>, Run<PascalClassifier>,
                        Run<BasicClassifier>, Run<AsmClassifier>};  // in LanguageFamily order
  return runs[static_cast<int>(c.family)](c);
}

class LineClasses : public testing::TestWithParam<LineCase> {};

TEST_P(LineClasses, OneClassifierPerFileGivesTheStatedClasses) {
  const LineCase& c = GetParam();
  EXPECT_EQ(Names(Classify(c)), Names(c.classes));
  // Counted as a file, the lines give the sum of their classes, though the
  // counter leaves most of them to its plain-line shortcut. A line's own
  // final CR survives only when a CR LF ends it.
  std::vector<std::string> texts(c.each ? c.lines.size() : 1);
  std::vector<FileTally> expected(texts.size());
  for (size_t i = 0; i < c.lines.size(); ++i) {
    const size_t f = c.each ? i : 0;
    texts[f] += c.lines[i] + (c.lines[i].ends_with('\r') ? "\r\n" : "\n");
    Apply(c.classes[i], expected[f]);
    ++expected[f].total;
  }
  for (size_t f = 0; f < texts.size(); ++f) {
    EXPECT_EQ(CountText(c.family, texts[f], c.cp), expected[f]) << testing::PrintToString(texts[f]);
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, LineClasses, testing::ValuesIn(ReadLineCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tv
