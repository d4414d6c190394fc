// The folder chooser's history: loading, adding and saving against a map
// that stands in for the per-user store.
#include "settings/folder_history.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

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

bool AnyFolder(const std::string&) {
  return true;
}

std::string Folder(int i) {
  return "/home/u/f" + std::to_string(i);
}

using Items = std::vector<std::string>;

TEST(FolderHistory, AddPutsTheTextOnTopOnce) {
  struct Case {
    const char* name;
    Items before;
    std::string text;
    bool added;
    Items after;
  } cases[] = {
      {"new folder on top", {"/a", "/b"}, "/c", true, {"/c", "/a", "/b"}},
      {"same folder twice keeps one, on top", {"/a", "/b", "/c"}, "/b", true, {"/b", "/a", "/c"}},
      {"already on top", {"/a", "/b"}, "/a", true, {"/a", "/b"}},
      {"blanks at the ends go", {"/a"}, "  /b\t ", true, {"/b", "/a"}},
      {"blank text adds nothing", {"/a"}, "   ", false, {"/a"}},
      {"empty text adds nothing", {}, "", false, {}},
      {"names differing in case are two folders", {"/x/src"}, "/x/Src", true, {"/x/Src", "/x/src"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MapStore store;
    for (size_t i = 0; i < c.before.size(); ++i) {
      store.values[FolderHistory::ItemKey(static_cast<int>(i))] = c.before[i];
    }
    FolderHistory history;
    history.Load(store, AnyFolder);
    EXPECT_EQ(history.Add(c.text), c.added);
    EXPECT_EQ(history.Items(), c.after);
  }
}

TEST(FolderHistory, FiftyOneChoicesKeepFiftyKeys) {
  MapStore store;
  for (int i = 0; i < 51; ++i) {
    FolderHistory history;  // each choice is a new chooser
    history.Load(store, AnyFolder);
    history.Save(store, Folder(i));
  }
  EXPECT_EQ(store.values.size(), 51u);  // 50 items and the last text
  EXPECT_EQ(store.Read("Folder0000"), Folder(50));
  EXPECT_EQ(store.Read("Folder0049"), Folder(1));
  EXPECT_EQ(store.values.count("Folder0050"), 0u);
  EXPECT_EQ(store.Read("Folder"), Folder(50));
}

TEST(FolderHistory, ForeignKeysAreReadToTheLimitAndDeletedUpToTheFirstGap) {
  MapStore store;
  for (int i = 0; i < 60; ++i) store.values[FolderHistory::ItemKey(i)] = Folder(i);
  store.values["Folder0062"] = Folder(62);  // after a gap: not the history's
  FolderHistory history;
  history.Load(store, AnyFolder);
  ASSERT_EQ(history.Items().size(), 50u);
  EXPECT_EQ(history.Items().back(), Folder(49));

  history.Save(store, "/new");
  EXPECT_EQ(store.Read("Folder0000"), "/new");
  EXPECT_EQ(store.Read("Folder0049"), Folder(48));
  std::set<std::string> keys;
  for (const auto& [key, value] : store.values) keys.insert(key);
  for (int i = 50; i < 60; ++i) EXPECT_EQ(keys.count(FolderHistory::ItemKey(i)), 0u) << i;
  EXPECT_EQ(store.Read("Folder0062"), Folder(62));
}

TEST(FolderHistory, LoadSkipsGoneFoldersAndStopsAtTheFirstEmptyValue) {
  MapStore store;
  store.values = {{"Folder0000", "/a"},
                  {"Folder0001", "/gone"},
                  {"Folder0002", "/b"},
                  {"Folder0004", "/late"},
                  {"Folder", "/b"}};
  FolderHistory history;
  history.Load(store, [](const std::string& path) { return path != "/gone"; });
  EXPECT_EQ(history.Items(), (Items{"/a", "/b"}));
  EXPECT_EQ(history.LastText(), "/b");
  EXPECT_EQ(history.IndexOf("/b"), 1);
  EXPECT_EQ(history.IndexOf("/B"), -1);

  // Saving writes only what was loaded: the gone folder drops out.
  history.Save(store, "/b");
  EXPECT_EQ(store.Read("Folder0000"), "/b");
  EXPECT_EQ(store.Read("Folder0001"), "/a");
  EXPECT_EQ(store.Read("Folder0002"), "");
  EXPECT_EQ(store.Read("Folder0004"), "/late");  // beyond the first gap
}

TEST(FolderHistory, SavingABlankTextKeepsTheListAndStoresNoLastText) {
  MapStore store;
  store.values = {{"Folder0000", "/a"}, {"Folder", "/a"}};
  FolderHistory history;
  history.Load(store, AnyFolder);
  history.Save(store, "  ");
  EXPECT_EQ(history.Items(), (Items{"/a"}));
  EXPECT_EQ(store.Read("Folder0000"), "/a");
  EXPECT_EQ(store.Read("Folder"), "");
}

}  // namespace
}  // namespace tv
