// Reading the member source files out of the project files of Windows
// development environments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "runs/run_list.h"

namespace tv {

/// True for the seven project extensions the readers know (dsp, vcproj, bpr,
/// vbp, vbg, dpr, csproj), compared in lower case.
bool IsProjectFile(std::string_view path, CodePage cp);

/// True for the six project extensions whose members are read when a
/// project is handed to the program or given with "-f" (all but vcproj).
bool IsHandedOverProjectFile(std::string_view path, CodePage cp);

/// The member paths of a project file, in the order the project names them,
/// duplicates kept, chosen by the project's lower-cased extension; empty for
/// any other extension and for a file that cannot be read.
std::vector<std::string> ReadProjectMembers(const std::string& project_path, CodePage cp);

/// Appends the members of a project to `list` without testing them.
void AddProjectMembers(const std::string& project_path, RunList& list, CodePage cp);

// One reader per format. Each takes the project's path; members are made
// from the project's folder (the text up to and including its last "/")
// followed by the member text as written, through ResolveMemberPath. A
// project that cannot be read has no members.

/// Visual C++ 6: lines "SOURCE=.\name" whose name ends in .cpp or .h.
std::vector<std::string> ReadDspMembers(const std::string& project_path, CodePage cp);
/// Visual C++ .NET: the quoted text of lines starting "RelativePath=" that
/// end in a quote and ">", for .cpp and .h names.
std::vector<std::string> ReadVcprojMembers(const std::string& project_path, CodePage cp);
/// C++ Builder: the .cpp main source, then the units its USEFORM and USEUNIT
/// lines name; each followed by its .h header when that file exists.
std::vector<std::string> ReadBprMembers(const std::string& project_path, CodePage cp);
/// Visual Basic project: forms, modules, user controls and classes.
std::vector<std::string> ReadVbpMembers(const std::string& project_path, CodePage cp);
/// Visual Basic group: the members of every .vbp it names, each project's
/// members made from that project's own folder.
std::vector<std::string> ReadVbgMembers(const std::string& project_path, CodePage cp);
/// Delphi project: the quoted .pas names of lines that mention ".pas".
std::vector<std::string> ReadDprMembers(const std::string& project_path, CodePage cp);
/// C# project: the quoted .cs names of lines starting "RelPath".
std::vector<std::string> ReadCsprojMembers(const std::string& project_path, CodePage cp);

/// `dir` followed by a member text written on Windows: "\" becomes "/";
/// when that path does not exist, every component that does not exist as
/// written is replaced by an entry of its folder that shows as it without
/// regard to ASCII case (see PathResolver). `dir` is used as given and is
/// expected to be empty or end in "/".
std::string ResolveMemberPath(std::string_view dir, std::string_view member_text, CodePage cp);

}  // namespace tv
