// Finding the entry on disk that a path written as text names: a name made
// on another system may be stored in other bytes than the text shows, or in
// another case.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/codepage.h"

namespace tv {

/// How the entries of a folder may match a name written as text, besides
/// having its very bytes.
struct NameMatching {
  CodePage code_page = CodePage::Gbk;
  /// Also without regard to ASCII case (member names written on Windows).
  bool ignore_case = false;
  /// A further form an entry's name is shown in (a file dialog's), or null.
  std::function<std::string(std::string_view name)> shown;
};

/// Resolves paths written as text. The folder listings it needed are kept,
/// so that many paths in one folder list it once; a resolver is meant for
/// one batch of paths, not to be kept while the disk changes.
class PathResolver {
 public:
  explicit PathResolver(NameMatching matching) : matching_(std::move(matching)) {}

  /// `dir` followed by `text`. When that path does not exist, each name in
  /// it that does not exist as written is replaced by the first entry of its
  /// folder, in walk order, that shows as that name: whose bytes read in the
  /// ANSI code page are that text, or whose `shown` form is, or, with
  /// `ignore_case`, whose shown name equals it without regard to ASCII case.
  /// Names that match nothing stay as written, and so does the rest of the
  /// path after them. `dir` is used as given: empty or ending in "/".
  std::string Resolve(std::string_view dir, std::string_view text);

 private:
  struct Listing {
    bool read = false;
    std::unordered_set<std::string> names;
    std::unordered_map<std::string, std::string> by_shown;  // shown form -> name
    std::unordered_map<std::string, std::string> by_lower;  // lower-cased shown form -> name
  };

  std::optional<std::string> Find(const std::string& folder, std::string_view name);
  const Listing& Get(const std::string& folder);
  Listing List(const std::string& folder) const;

  NameMatching matching_;
  std::unordered_map<std::string, Listing> listings_;
};

/// The path on disk that `text` (an absolute path shown as text) names, its
/// names matched as PathResolver does without regard to case: how a name
/// shown by a dialog or stored in a settings or selection file finds its
/// file again, whatever bytes its name is made of.
std::string ResolveShownPath(std::string_view text, CodePage cp,
                             std::function<std::string(std::string_view name)> shown = {});

}  // namespace tv
