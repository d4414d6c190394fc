// A folder walk with ignore files honoured against the same walk without.
//
// The trees are generated in the temporary folder and made git work trees:
// 40 modules of 10 folders of 50 sources, a .gitignore in each module that
// leaves out generated sources ("*.gen.c") and "out" folders, and a
// top-level .gitignore that leaves out a "build" folder of 2,000 sources.
// In the sparse layout one folder of each module holds 5 generated sources
// and an "out" folder of 20; in the dense layout every folder does.
//
// BM_Walk/LAYOUT/MODE: LAYOUT 0 sparse, 1 dense; MODE 0 without ignore
// files, 1 honouring them in the usual repository (every file git does not
// ignore is in its index), 2 honouring them with nothing tracked yet (every
// entry is asked about).
//
// BM_WalkRepository/MODE: the work tree named by TV_BENCH_REPOSITORY (a
// real repository of the user's), MODE 0 without ignore files, 1 with.
#include <benchmark/benchmark.h>
#include <git2.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "runs/directory_walker.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

std::string MakeTree(bool dense, bool tracked) {
  std::string root = (fs::temp_directory_path() / "tallyvane-walk-XXXXXX").string();
  if (::mkdtemp(root.data()) == nullptr) return {};
  Write(root + "/.gitignore", "build/\n*.o\n");
  for (int f = 0; f < 2000; ++f) Write(root + "/build/b" + std::to_string(f) + ".c", "int b;\n");
  for (int m = 0; m < 40; ++m) {
    const std::string module = root + "/m" + std::to_string(m);
    Write(module + "/.gitignore", "*.gen.c\n!keep.gen.c\nout/\n");
    for (int s = 0; s < 10; ++s) {
      const std::string dir = module + "/s" + std::to_string(s) + "/";
      for (int f = 0; f < 50; ++f) Write(dir + "f" + std::to_string(f) + ".c", "int x;\n");
      if (s > 0 && !dense) continue;
      for (int f = 0; f < 5; ++f) Write(dir + "x" + std::to_string(f) + ".gen.c", "int g;\n");
      for (int f = 0; f < 20; ++f) Write(dir + "out/o" + std::to_string(f) + ".c", "int o;\n");
    }
  }
  git_libgit2_init();
  git_repository* repo = nullptr;
  git_index* index = nullptr;
  bool made = git_repository_init(&repo, root.c_str(), 0) == 0;
  if (made && tracked) {
    made = git_repository_index(&index, repo) == 0 &&
           git_index_add_all(index, nullptr, GIT_INDEX_ADD_DEFAULT, nullptr, nullptr) == 0 &&
           git_index_write(index) == 0;
  }
  git_index_free(index);
  git_repository_free(repo);
  git_libgit2_shutdown();
  if (!made) fs::remove_all(root);
  return made ? root : std::string();
}

// Each tree is made once and removed when the benchmarks end.
const std::string& Tree(bool dense, bool tracked) {
  static struct Trees {
    std::map<std::pair<bool, bool>, std::string> roots;
    ~Trees() {
      for (const auto& [kind, root] : roots) fs::remove_all(root);
    }
  } trees;
  std::string& root = trees.roots[{dense, tracked}];
  if (root.empty()) root = MakeTree(dense, tracked);
  return root;
}

// Walks `root` `state.iterations()` times, honouring ignore files or not.
void WalkRepeatedly(benchmark::State& state, const std::string& root, bool honour) {
  tv::GatherContext ctx;
  ctx.settings_path = root + "/no-Setup.ini";
  ctx.honor_ignore_files = honour;
  size_t files = 0;
  for (auto _ : state) {
    tv::RunList list;
    tv::WalkDirectory(root, list, ctx);
    files = list.size();
  }
  state.counters["files"] = static_cast<double>(files);
}

void BM_Walk(benchmark::State& state) {
  const std::string& root = Tree(state.range(0) == 1, state.range(1) != 2);
  if (root.empty()) {
    state.SkipWithError("cannot make the tree");
    return;
  }
  WalkRepeatedly(state, root, state.range(1) != 0);
}
BENCHMARK(BM_Walk)->ArgsProduct({{0, 1}, {0, 1}})->Args({1, 2})->Unit(benchmark::kMillisecond);

void BM_WalkRepository(benchmark::State& state) {
  const char* root = std::getenv("TV_BENCH_REPOSITORY");
  if (root == nullptr || *root == '\0') {
    state.SkipWithError("TV_BENCH_REPOSITORY names no work tree");
    return;
  }
  WalkRepeatedly(state, root, state.range(0) != 0);
}
BENCHMARK(BM_WalkRepository)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

}  // namespace
