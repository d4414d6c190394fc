#include "settings/folder_history.h"

#include <algorithm>
#include <cstdio>

#include "platform/text.h"

namespace tv {

std::string FolderHistory::ItemKey(int index) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d", index);
  return std::string(kPrefix) + digits;
}

void FolderHistory::Load(const HistoryStore& store,
                         const std::function<bool(const std::string&)>& is_folder) {
  items_.clear();
  for (int i = 0; i < kMaxItems; ++i) {
    std::string value = store.Read(ItemKey(i));
    if (value.empty()) break;
    // A folder that has gone is skipped but does not end the list.
    if (is_folder(value)) items_.push_back(std::move(value));
  }
  last_text_ = store.Read(std::string(kPrefix));
}

int FolderHistory::IndexOf(std::string_view text) const {
  const auto it = std::find(items_.begin(), items_.end(), text);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool FolderHistory::Add(std::string_view text) {
  std::string item(TrimBlanks(text));
  if (item.empty()) return false;
  const int older = IndexOf(item);
  if (older >= 0) items_.erase(items_.begin() + older);
  items_.insert(items_.begin(), std::move(item));
  if (items_.size() > static_cast<size_t>(kMaxItems)) items_.resize(kMaxItems);
  return true;
}

void FolderHistory::Save(HistoryStore& store, std::string_view current_text) {
  const std::string current(TrimBlanks(current_text));
  Add(current);
  const int count = static_cast<int>(items_.size());
  for (int k = 0; k < count; ++k) store.Write(ItemKey(k), items_[static_cast<size_t>(k)]);
  // Keys past the list, from an older or longer history, go up to the first
  // key that has no value.
  for (int k = count; k <= kLastKeyIndex; ++k) {
    const std::string key = ItemKey(k);
    if (store.Read(key).empty()) break;
    store.Remove(key);
  }
  store.Write(std::string(kPrefix), current);
  last_text_ = current;
}

}  // namespace tv
