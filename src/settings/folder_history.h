// The folder chooser's history of recently chosen folders: which folders it
// loads from its key-value store, how a new choice enters the list, and what
// saving writes and deletes. The store is an interface, so the window binds
// it to its per-user settings and tests to a map.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

/// One section of a key-value store. A missing key reads as "".
class HistoryStore {
 public:
  virtual ~HistoryStore() = default;
  virtual std::string Read(const std::string& key) const = 0;
  virtual void Write(const std::string& key, const std::string& value) = 0;
  virtual void Remove(const std::string& key) = 0;
};

class FolderHistory {
 public:
  static constexpr std::string_view kSection = "FolderHistory";
  /// The key of the last current text; item keys add four digits to it.
  static constexpr std::string_view kPrefix = "Folder";
  static constexpr int kMaxItems = 50;
  /// Items the open drop-down list shows at once.
  static constexpr int kVisibleItems = 20;
  /// The highest key index saving looks at when it deletes stale keys.
  static constexpr int kLastKeyIndex = 999;

  /// "Folder0000" for 0, "Folder0049" for 49.
  static std::string ItemKey(int index);

  /// Reads the items Folder0000, Folder0001, ... in order until the first
  /// empty value or kMaxItems keys, keeping those `is_folder` accepts, and
  /// the last current text.
  void Load(const HistoryStore& store, const std::function<bool(const std::string&)>& is_folder);

  /// Puts `text`, without blanks at its ends, at the top; an equal item
  /// further down goes (names compare exactly: "Src" and "src" are two
  /// folders); the list keeps its first kMaxItems items. False, and nothing
  /// changes, when the text is blank.
  bool Add(std::string_view text);

  /// Adds `current_text`, writes every item under its key, deletes the keys
  /// after the last item up to the first key without a value, and writes
  /// the current text under kPrefix.
  void Save(HistoryStore& store, std::string_view current_text);

  const std::vector<std::string>& Items() const { return items_; }
  /// The text stored under kPrefix when the history was loaded or saved.
  const std::string& LastText() const { return last_text_; }
  /// The index of the item equal to `text`, or -1.
  int IndexOf(std::string_view text) const;

 private:
  std::vector<std::string> items_;
  std::string last_text_;
};

}  // namespace tv
