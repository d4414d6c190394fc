// Line-by-line classification of the five language families. The cases live
// in tests/data/engine/line_classes/, one file per family; the header of each
// file describes their form.
#include "engine/classifiers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/count.h"

namespace tv {

void PrintTo(const FileTally& t, std::ostream* os);  // in count_test.cpp

namespace {

constexpr std::string_view kClassNames[] = {"B", "K", "M", "KM", "KKM"};

struct LineCase {
  std::string where;  // family and line of the case's header
  LanguageFamily family;
  CodePage cp = CodePage::Gbk;
  bool each = false;  // every line is the first line of a file of its own
  std::vector<std::string> lines;
  std::vector<LineClass> classes;
};

// Decodes \t \r \f \v \0 \\ and \xHH.
std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
    } else if (s[++i] == 'x') {
      out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      const size_t code = std::string_view("trfv0").find(s[i]);
      out += code == std::string_view::npos ? s[i] : std::string_view("\t\r\f\v\0", 5)[code];
    }
  }
  return out;
}

std::vector<LineCase> ReadCases() {
  const std::pair<const char*, LanguageFamily> files[] = {{"cfamily", LanguageFamily::CFamily},
                                                          {"sql", LanguageFamily::Sql},
                                                          {"pascal", LanguageFamily::Pascal},
                                                          {"basic", LanguageFamily::Basic},
                                                          {"asm", LanguageFamily::Assembly}};
  std::vector<LineCase> cases;
  for (const auto& [name, family] : files) {
    std::ifstream in(std::string(TV_TEST_DATA_DIR) + "/engine/line_classes/" + name + ".txt");
    std::string row;
    for (int n = 1; std::getline(in, row); ++n) {
      if (row.rfind("== ", 0) == 0) {
        const std::string title = row.substr(3, row.find(' ', 3) - 3);
        cases.push_back({std::string(name) + "_" + std::to_string(n) + "_" + title,
                         family,
                         CodePage::Gbk,
                         false,
                         {},
                         {}});
        if (row.find(" utf-8") != std::string::npos) cases.back().cp = CodePage::Utf8;
        cases.back().each = row.find(" each") != std::string::npos;
      } else if (!row.empty() && row[0] != '#' && !cases.empty()) {
        const size_t space = std::min(row.find(' '), row.size());
        const auto* cls = std::find(std::begin(kClassNames), std::end(kClassNames),
                                    std::string_view(row).substr(0, space));
        EXPECT_NE(cls, std::end(kClassNames)) << name << " line " << n << ": no class";
        cases.back().classes.push_back(static_cast<LineClass>(cls - std::begin(kClassNames)));
        cases.back().lines.push_back(space < row.size() ? Unescape(row.substr(space + 1)) : "");
      }
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
  switch (c.family) {
    case LanguageFamily::CFamily:
      return Run<CFamilyClassifier>(c);
    case LanguageFamily::Sql:
      return Run<SqlClassifier>(c);
    case LanguageFamily::Pascal:
      return Run<PascalClassifier>(c);
    case LanguageFamily::Basic:
      return Run<BasicClassifier>(c);
    case LanguageFamily::Assembly:
      return Run<AsmClassifier>(c);
  }
  return {};
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

INSTANTIATE_TEST_SUITE_P(Engine, LineClasses, testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return info.param.where; });

TEST(LineClassCases, EveryFamilyHasSome) {
  const std::vector<LineCase> all = ReadCases();
  for (const char* family : {"cfamily_", "sql_", "pascal_", "basic_", "asm_"}) {
    EXPECT_GE(std::count_if(all.begin(), all.end(),
                            [&](const LineCase& c) { return c.where.starts_with(family); }),
              5)
        << family;
  }
}

}  // namespace
}  // namespace tv
