#include "runs/path_resolver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "runs/directory_walker.h"

namespace tv {

namespace {

bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string PathResolver::Resolve(std::string_view dir, std::string_view text) {
  std::string exact = std::string(dir).append(text);
  if (text.empty() || EntryExists(exact)) return exact;

  std::string out(dir);
  size_t pos = 0;
  for (;;) {
    const size_t slash = text.find('/', pos);
    const bool last = slash == std::string_view::npos;
    const std::string_view part = text.substr(pos, last ? std::string_view::npos : slash - pos);
    if (part.empty() || part == "." || part == "..") {
      out.append(part);
    } else if (std::optional<std::string> found = Find(out, part)) {
      out += *found;
    } else {
      // Nothing in this folder matches: the rest stays as written.
      out.append(text.substr(pos));
      return out;
    }
    if (last) return out;
    out.push_back('/');
    pos = slash + 1;
  }
}

std::optional<std::string> PathResolver::Find(const std::string& folder, std::string_view name) {
  const Listing& listing = Get(folder);
  std::string key(name);
  if (!listing.read) {
    // A folder that may be searched but not listed: only the name as written.
    if (EntryExists(folder + key)) return key;
    return std::nullopt;
  }
  if (listing.names.count(key) != 0) return key;
  if (auto it = listing.by_shown.find(key); it != listing.by_shown.end()) return it->second;
  if (matching_.ignore_case) {
    auto it = listing.by_lower.find(LowerAscii(key, CodePage::Utf8));
    if (it != listing.by_lower.end()) return it->second;
  }
  return std::nullopt;
}

const PathResolver::Listing& PathResolver::Get(const std::string& folder) {
  auto [it, added] = listings_.try_emplace(folder);
  if (added) it->second = List(folder);
  return it->second;
}

PathResolver::Listing PathResolver::List(const std::string& folder) const {
  Listing listing;
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (d == nullptr) return listing;
  listing.read = true;
  std::vector<std::string> names;
  while (const struct dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end(), WalkOrderLess);
  // The first entry in walk order wins where several show alike.
  for (const std::string& n : names) {
    listing.names.insert(n);
    std::string shown = NameToUtf8(n, matching_.code_page);
    if (matching_.ignore_case) listing.by_lower.try_emplace(LowerAscii(shown, CodePage::Utf8), n);
    if (shown != n) listing.by_shown.try_emplace(std::move(shown), n);
    if (matching_.shown) {
      std::string other = matching_.shown(n);
      if (other != n) listing.by_shown.try_emplace(std::move(other), n);
    }
  }
  return listing;
}

std::string ResolveShownPath(std::string_view text, CodePage cp,
                             std::function<std::string(std::string_view name)> shown) {
  return PathResolver({cp, false, std::move(shown)}).Resolve("", text);
}

}  // namespace tv
