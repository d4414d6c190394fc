// Temporary driver: counts the files under a folder and prints their counts.
#include <dirent.h>

#include <cstdio>
#include <string>

#include "engine/count.h"
#include "engine/file_types.h"
#include "platform/file_reader.h"
#include "settings/settings.h"

namespace {

void Walk(const std::string& dir, const tv::CountableRules& rules, tv::GatheredNames& names,
          tv::RunTotals& totals) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string path = dir + "/" + name;
    if (tv::IsDirectory(path)) {
      Walk(path, rules, names, totals);
    } else if (tv::IsCountableFile(path, rules, names, tv::AnsiCodePage())) {
      names.insert(name);
      tv::FileTally t;
      tv::CountFile(tv::SelectClassifier(path, rules.lists, tv::AnsiCodePage()), path, t, totals,
                    {tv::AnsiCodePage(), nullptr});
      std::printf("%-50s %6llu %6llu %6llu %6llu\n", path.c_str(), (unsigned long long)t.total,
                  (unsigned long long)t.code, (unsigned long long)t.comment,
                  (unsigned long long)t.blank);
    }
  }
  closedir(d);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : "examples";
  const std::string settings = tv::SettingsPath();
  tv::WriteDefaultSettings(settings, tv::AnsiCodePage());
  tv::GatheredNames names;
  tv::RunTotals totals;
  Walk(root, tv::ReadCountableRules(settings), names, totals);
  std::printf("code %llu, comment %llu, blank %llu\n", (unsigned long long)totals.code,
              (unsigned long long)totals.comment, (unsigned long long)totals.blank);
  return 0;
}
