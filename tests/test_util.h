// Helpers shared by the test executables: temporary folders and files.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tv::test {

/// A fresh folder under the system's temporary folder, removed with all its
/// content when the object goes away. Path() ends without "/".
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tallyvane-test-XXXXXX").string();
    char* made = ::mkdtemp(tmpl.data());
    if (made == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    // Make everything writable again so that removal cannot fail on a
    // folder a test made read-only.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  /// The path of `relative` inside the folder.
  std::string operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
  }

 private:
  std::string path_;
};

/// Writes `bytes` to `path`, creating missing parent folders.
inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

/// The whole content of `path` ("" when it cannot be read).
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The names in a folder, sorted: shows what a write left behind.
inline std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

/// Runs `body` on a thread that holds no capabilities, so permission bits
/// bind it even when the tests run as root (capabilities belong to each
/// thread: the others keep theirs).
template <class Body>
void WithoutCapabilities(Body body) {
  std::thread([&] {
    __user_cap_header_struct self{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    ASSERT_EQ(::syscall(SYS_capset, &self, none), 0);
    body();
  }).join();
}

/// One case of a table file under tests/data: tab-separated fields, the
/// inputs before a lone "=" field and the expected texts after it.
struct TableCase {
  std::string line;
  std::vector<std::string> in, out;
};

/// The cases of the table file `name` under tests/data. Empty lines and lines
/// starting with "#" are notes; a line starting with a tab continues the case
/// above.
inline std::vector<TableCase> ReadTableCases(const std::string& name) {
  const std::string path = std::string(TV_TEST_DATA_DIR) + "/" + name;
  std::vector<TableCase> cases;
  std::istringstream text(ReadFile(path));
  bool expected = false;
  for (std::string line; std::getline(text, line);) {
    if (line.empty() || line[0] == '#') continue;
    const bool more = line[0] == '\t' && !cases.empty();
    if (!more) cases.push_back({line, {}, {}});
    expected = expected && more;
    for (size_t start = more ? 1 : 0, end = 0; end != std::string::npos; start = end + 1) {
      end = line.find('\t', start);
      std::string field = line.substr(start, end - start);
      if (field == "=" && !expected) {
        expected = true;
      } else {
        (expected ? cases.back().out : cases.back().in).push_back(std::move(field));
      }
    }
  }
  EXPECT_FALSE(cases.empty()) << "no cases in " << path;
  return cases;
}

/// The cases of a table file whose fields hold bytes as the escapes \r, \n,
/// \t, \\ and \xHH (two hex digits); the cases come back with the bytes.
inline std::vector<TableCase> ReadEscapedTableCases(const std::string& name) {
  std::vector<TableCase> cases = ReadTableCases(name);
  for (TableCase& c : cases) {
    for (std::vector<std::string>* fields : {&c.in, &c.out}) {
      for (std::string& field : *fields) {
        std::string bytes;
        for (size_t i = 0; i < field.size(); ++i) {
          if (field[i] != '\\' || i + 1 == field.size()) {
            bytes += field[i];
          } else if (field[++i] == 'x') {
            bytes += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
          } else {
            const char e = field[i];
            bytes += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e;
          }
        }
        field = std::move(bytes);
      }
    }
  }
  return cases;
}

/// What the shell command `command` writes to its standard output. Its
/// status goes to `status`; without one it must be 0.
inline std::string CommandOutput(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) ADD_FAILURE() << "cannot start " << command;
  char buffer[65536];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, n);
  const int code = pipe ? ::pclose(pipe) : -1;
  if (status != nullptr) *status = code;
  EXPECT_TRUE(status != nullptr || code == 0) << command;
  return out;
}

/// Makes `path` what a table field says stands there: nothing for
/// "<missing>", a folder for "<folder>", a FIFO for "<fifo>", a file whose
/// reading fails for "<failing>", the bytes of the file NAME under
/// tests/data for "@NAME", else the field's own bytes.
inline void LayTableFile(const std::string& path, const std::string& field) {
  if (field == "<folder>") std::filesystem::create_directories(path);
  if (field == "<missing>" || field == "<folder>") return;
  if (field == "<fifo>" || field == "<failing>") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (field == "<failing>") {  // opens as a regular file; reading it fails
      std::filesystem::create_symlink("/proc/self/mem", path);
      return;
    }
    // Held open for reading and writing for the rest of the process, so an
    // open of it can never block.
    if (::mkfifo(path.c_str(), 0600) != 0 || ::open(path.c_str(), O_RDWR | O_NONBLOCK) < 0) {
      ADD_FAILURE() << "cannot make the FIFO " << path;
    }
    return;
  }
  WriteFile(path, field.rfind('@', 0) == 0
                      ? ReadFile(std::string(TV_TEST_DATA_DIR) + "/" + field.substr(1))
                      : field);
}

}  // namespace tv::test
