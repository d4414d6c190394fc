// Which files are counted, and by which classifier.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/count.h"
#include "platform/codepage.h"

namespace tv {

/// The extensions the program counts on its own, each a dot, the extension
/// and a semicolon.
inline constexpr std::string_view kBuiltInTypeList =
    ".dsp;.bpr;.vbp;.dpr;.cpp;.c;.h;.asm;.inc;.frm;.bas;.ctl;.cls;.pas;.dfm;.java;.cs;.sql;";

/// The five user-defined extension lists, in the order they are consulted.
struct UserTypeLists {
  std::string cpp, vb, delphi, assembly, sql;

  const std::string& Of(int index) const {
    const std::string* lists[] = {&cpp, &vb, &delphi, &assembly, &sql};
    return *lists[index];
  }
};

struct UserTypeSection {
  std::string_view section;
  LanguageFamily family;
};

/// The settings section of each user list, in consulting order.
inline constexpr std::array<UserTypeSection, 5> kUserTypeSections = {{
    {"C++ User Defined File Type", LanguageFamily::CFamily},
    {"VB User Defined File Type", LanguageFamily::Basic},
    {"Delphi User Defined File Type", LanguageFamily::Pascal},
    {"ASM User Defined File Type", LanguageFamily::Assembly},
    {"SQL User Defined File Type", LanguageFamily::Sql},
}};

/// The lower-cased text after the last "." of the file's name (the part
/// after the last "/"); empty when the name has no dot.
std::string GetFileExtension(std::string_view path, CodePage cp);
/// The text after the last "/" (the whole path when there is none).
std::string_view GetFileNamePart(std::string_view path);
/// The text up to and including the last "/" (empty when there is none).
std::string_view GetDirectoryPart(std::string_view path);

/// True when `list` names `ext`: ".ext;" occurs in it, or it holds "*.;"
/// and `ext` is empty.
bool ListNames(std::string_view list, std::string_view ext);

/// What decides whether a gathered file is counted; read from the settings
/// once per gathering.
struct CountableRules {
  /// Skip a file whose name equals that of a file already gathered.
  bool same_name_rule = false;
  UserTypeLists lists;
};

/// Names of the files gathered so far, for the same-name rule.
using GatheredNames = std::unordered_set<std::string>;

/// True when `path` is counted: its extension is built in or in a user list,
/// and, with the same-name rule on, no gathered file has the same name.
bool IsCountableFile(std::string_view path, const CountableRules& rules,
                     const GatheredNames& gathered, CodePage cp);

/// The family that counts `path` in a run that chooses by extension.
LanguageFamily SelectClassifier(std::string_view path, const UserTypeLists& lists, CodePage cp);

/// One of the seventeen file types of a file selection.
struct FileType {
  int index;                             // 1-based, as stored under "SelectType"
  std::string_view caption;              // the type's name as shown in the file dialog
  std::string_view patterns;             // the file dialog's patterns
  std::string_view project_ext;          // the project extension, empty for sources
  std::optional<LanguageFamily> family;  // none for "All Files (*.*)"
};

inline constexpr int kAllFilesType = 17;

inline constexpr std::array<FileType, 17> kFileTypes = {{
    {1, "VC++ Project File (.dsp)", "*.dsp;", "dsp", LanguageFamily::CFamily},
    {2, "VC.Net Project File (.vcproj)", "*.vcproj;", "vcproj", LanguageFamily::CFamily},
    {3, "C++ Builder Project File (.bpr)", "*.bpr;", "bpr", LanguageFamily::CFamily},
    {4, "C/C++ Source Files (*.c;*.cpp;*.h)\t\t", "*.c;*.cpp;*.h;", "", LanguageFamily::CFamily},
    {5, "C++ Source Files (*.cpp;*.h)", "*.cpp;*.h;", "", LanguageFamily::CFamily},
    {6, "C Source Files (*.c;*.h)", "*.c;*.h;\t\t", "", LanguageFamily::CFamily},
    {7, "VB Project File (.vbp)", "*.vbp;", "vbp", LanguageFamily::Basic},
    {8, "VB Group Project File (.vbg)", "*.vbg;", "vbg", LanguageFamily::Basic},
    {9, "VB Source Files (*.frm;*.bas;*.ctl;*.cls)", "*.frm;*.bas;*.ctl;*.cls", "",
     LanguageFamily::Basic},
    {10, "ASM Source Files (*.asm;*.inc)", "*.asm;*.inc;", "", LanguageFamily::Assembly},
    {11, "Delphi Project File (.dpr)", "*.dpr;\t\t", "dpr", LanguageFamily::Pascal},
    {12, "Delphi Source Files (*.pas;*.dfm)", "*.pas;*.dfm;", "", LanguageFamily::Pascal},
    {13, "Java Source Files (*.java)", "*.java;", "", LanguageFamily::CFamily},
    {14, "C# Project File (.csproj)", "*.csproj;", "csproj", LanguageFamily::CFamily},
    {15, "C# Source Files (*.cs)", "*.cs;", "", LanguageFamily::CFamily},
    {16, "SQL Files(*.sql)", "*.sql;", "", LanguageFamily::Sql},
    {17, "All Files (*.*)", "*.*", "", std::nullopt},
}};

/// The family fixed by file type `index` (1 to 16); none for 17 and for
/// numbers outside the table.
std::optional<LanguageFamily> FamilyOfFileType(int index);

}  // namespace tv
