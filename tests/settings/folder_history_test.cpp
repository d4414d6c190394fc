// The folder chooser's history: loading, adding and saving against a map
// that stands in for the per-user store (scripts: tests/data/settings/).
#include "settings/folder_history.h"

#include <map>

#include "test_util.h"

namespace tv {
namespace {

class MapStore : public HistoryStore {
 public:
  std::string Read(const std::string& key) const override {
    const auto it = values.find(key);
    return it == values.end() ? std::string() : it->second;
  }
  void Write(const std::string& key, const std::string& value) override { values[key] = value; }
  void Remove(const std::string& key) override { values.erase(key); }

  std::map<std::string, std::string> values;
};

TEST(FolderHistory, FollowsTheScriptsOfItsTableFile) {
  MapStore store;
  FolderHistory history;
  for (const test::TableCase& c : test::ReadEscapedTableCases("settings/folder_history.tsv")) {
    SCOPED_TRACE(c.line);
    const std::string& op = c.in.at(0);
    const std::string arg = c.in.size() > 1 ? c.in[1] : "";
    std::vector<std::string> got;
    if (op == "store") {
      store.values.clear();
      for (size_t i = 1; i < c.in.size(); ++i) {
        const size_t eq = c.in[i].find('=');
        store.values[c.in[i].substr(0, eq)] = c.in[i].substr(eq + 1);
      }
    } else if (op == "fill") {
      for (int k = 0; k < std::stoi(arg); ++k)
        store.values[FolderHistory::ItemKey(k)] = "/home/u/f" + std::to_string(k);
    } else if (op == "load" || op == "choices") {
      for (int i = 0; i < (op == "load" ? 1 : std::stoi(arg)); ++i) {
        history = FolderHistory();  // each choice is a new chooser
        history.Load(store, [&](const std::string& path) { return path != arg; });
        if (op == "choices") history.Save(store, "/home/u/f" + std::to_string(i));
      }
      if (op == "load") got = history.Items();
    } else if (op == "add" || op == "save") {
      if (op == "add") got = {history.Add(arg) ? "1" : "0"};
      if (op == "save") history.Save(store, arg);
      got.insert(got.end(), history.Items().begin(), history.Items().end());
    } else if (op == "last" || op == "index") {
      got = {op == "last" ? history.LastText() : std::to_string(history.IndexOf(arg))};
    } else if (op == "read") {
      got = {store.values.count(arg) != 0 ? store.Read(arg) : "<none>"};
    } else if (op == "size") {
      got = {std::to_string(store.values.size())};
    } else {
      ASSERT_EQ(op, "keys");
      for (const auto& [key, value] : store.values) got.push_back(key + "=" + value);
    }
    EXPECT_EQ(got, c.out);
  }
}

}  // namespace
}  // namespace tv
