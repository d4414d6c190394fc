#include "runs/file_selection.h"

#include "engine/file_types.h"
#include "runs/project_files.h"

namespace tv {

FilePickOutcome ApplyFilePick(const FilePick& pick, bool show_names, const GatherContext& ctx) {
  FilePickOutcome out;
  FileSelection& sel = out.selection;
  const int index = pick.file_type >= 1 && pick.file_type <= 17 ? pick.file_type : 1;
  const FileType& type = kFileTypes[static_cast<size_t>(index - 1)];
  sel.file_type = index;
  sel.all_files = index == kAllFilesType;
  if (!pick.paths.empty()) sel.directory = std::string(GetDirectoryPart(pick.paths.front()));

  if (!type.project_ext.empty()) {
    // The extension is tested before the number of files.
    const std::string ext =
        pick.paths.empty() ? "" : GetFileExtension(pick.paths.back(), ctx.code_page);
    if (ext != type.project_ext) {
      out.message = kWrongTypeText;
      return out;
    }
    if (pick.paths.size() > 1) {
      out.message = kOneProjectOnlyText;
      return out;
    }
    sel.text = pick.paths.front();
    sel.run_list = ReadProjectMembers(pick.paths.front(), ctx.code_page);
    out.accepted = true;
    return out;
  }

  RunList list;
  for (const std::string& path : pick.paths) {
    if (path.empty()) continue;
    if (sel.all_files) {
      sel.selection_list.push_back(path);
      list.AddIfCountable(path, ctx);
    } else {
      list.Add(path);
    }
  }
  sel.run_list = list.TakePaths();
  if (show_names && !sel.run_list.empty()) {
    for (const std::string& path : sel.run_list) {
      sel.text.append(GetFileNamePart(path)).append("; ");
    }
  } else {
    sel.text = "已选择" + std::to_string(sel.run_list.size()) + "个指定的统计文件";
  }
  out.accepted = true;
  return out;
}

}  // namespace tv
