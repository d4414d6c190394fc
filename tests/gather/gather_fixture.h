// A temporary tree with its own settings file and stop request, for the
// gathering tests.
#pragma once

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "runs/run_list.h"
#include "settings/settings.h"
#include "test_util.h"

namespace tv::test {

/// A fixture file or folder under tests/data/gather.
inline std::string DataPath(std::string_view relative) {
  return std::string(TV_TEST_DATA_DIR) + "/gather/" + std::string(relative);
}

class GatherTest : public ::testing::Test {
 protected:
  GatherTest() {
    ctx_.settings_path = tree_ / "Setup.ini";  // absent until a test writes it
    ctx_.code_page = CodePage::Gbk;
    ctx_.stop = &stop_;
  }

  /// Creates the entries of `spec` in `dir`, separated by blanks: "NAME" a file
  /// with one line of code, "NAME/" a folder, "NAME|" a FIFO, "NAME->TARGET" a
  /// symbolic link (a TARGET beginning with "/" is taken inside `dir`).
  void Make(const std::string& spec, const std::string& dir) {
    std::istringstream words(spec);
    for (std::string word; words >> word;) {
      const size_t arrow = word.find("->");
      std::string name = word.substr(0, arrow);
      std::filesystem::create_directories(std::filesystem::path(dir + "/" + name).parent_path());
      if (arrow != std::string::npos) {
        std::string target = word.substr(arrow + 2);
        if (target.starts_with("/")) target = dir + target;
        std::filesystem::create_symlink(target, dir + "/" + name);
      } else if (name.ends_with("|")) {
        name.pop_back();
        ASSERT_EQ(::mkfifo((dir + "/" + name).c_str(), 0600), 0) << name;
      } else if (!name.ends_with("/")) {
        WriteFile(dir + "/" + name, "int x;\n");
      }
    }
  }

  TempDir tree_;
  StopFlag stop_{0};
  GatherContext ctx_;
};

}  // namespace tv::test
