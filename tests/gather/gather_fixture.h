// A temporary tree with its own settings file and stop request, for the
// gathering tests.
#pragma once

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runs/run_list.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv::test {

class GatherTest : public ::testing::Test {
 protected:
  GatherTest() {
    ctx_.settings_path = tree_ / "Setup.ini";  // absent until a test writes it
    ctx_.code_page = CodePage::Gbk;
    ctx_.stop = &stop_;
  }

  /// Writes the settings file and reads the countable-file rules from it.
  void Settings(std::string_view text) {
    WriteFile(ctx_.settings_path, text);
    ctx_.rules = ReadCountableRules(ctx_.settings_path);
  }

  /// Creates the files, each with one line of code.
  void Files(const std::vector<std::string>& relative) {
    for (const std::string& r : relative) WriteFile(tree_ / r, "int x;\n");
  }

  void Link(const std::string& target, const std::string& relative) {
    std::filesystem::create_symlink(target, tree_ / relative);
  }

  /// The gathered paths with the tree's folder and its "/" taken off.
  std::vector<std::string> Relative(const RunList& list) const {
    std::vector<std::string> out;
    const std::string prefix = tree_.Path() + "/";
    for (const std::string& p : list.paths()) {
      out.push_back(p.compare(0, prefix.size(), prefix) == 0 ? p.substr(prefix.size()) : p);
    }
    return out;
  }

  TempDir tree_;
  StopFlag stop_{0};
  GatherContext ctx_;
};

}  // namespace tv::test
