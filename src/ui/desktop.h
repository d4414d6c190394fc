// What the window asks of the desktop: a file opened with its associated
// program, the source viewer, a file's properties. The window owns one
// Desktop like its Dialogs, so tests record what would be opened and never
// start a program.
#pragma once

#include <QString>
#include <string>

#include "engine/count.h"
#include "platform/codepage.h"
#include "reports/results.h"

class QUrl;
class QWidget;

namespace tv {

/// One counted file as its row shows it.
struct SourceFile {
  std::string path;  // the counted file's bytes, as the run opened it
  ResultRow row;     // the row's six texts
  LanguageFamily family = LanguageFamily::CFamily;
  CodePage code_page = CodePage::Gbk;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  /// Opens `path` (its bytes) with the program the desktop associates with
  /// it; false when the desktop refused at once (nothing is reported to the
  /// user).
  virtual bool OpenWithDefaultProgram(const std::string& path) = 0;
  /// Opens the program's own source viewer on `file`, owned by `owner`.
  virtual void ViewSource(QWidget* owner, const SourceFile& file) = 0;
  /// Shows the properties of `file`.
  virtual void ShowProperties(QWidget* owner, const SourceFile& file) = 0;
  /// Opens `url` (a web page or a local HTML file, with or without a
  /// fragment) in the desktop's browser; false when the desktop refused.
  virtual bool OpenInBrowser(const QUrl& url) = 0;
  /// Marks a launcher the program wrote as trusted, so the desktop runs it
  /// without asking. Best effort: where no desktop session can do it,
  /// nothing happens.
  virtual void MarkTrusted(const QString& path) = 0;
};

/// The real desktop: QDesktopServices, the source viewer window, and the
/// file manager's properties over D-Bus with the built-in dialog when no
/// file manager answers within a second.
class QtDesktop : public Desktop {
 public:
  bool OpenWithDefaultProgram(const std::string& path) override;
  void ViewSource(QWidget* owner, const SourceFile& file) override;
  void ShowProperties(QWidget* owner, const SourceFile& file) override;
  bool OpenInBrowser(const QUrl& url) override;
  void MarkTrusted(const QString& path) override;
};

/// Opens the built-in properties dialog on `file` (non-modal, owned by `owner`).
QWidget* ShowPropertiesDialog(QWidget* owner, const SourceFile& file);

/// The file URL of `path`, its bytes percent-encoded, so that a name that
/// is not UTF-8 reaches the program that opens it unchanged.
QUrl FileUrl(const std::string& path);

}  // namespace tv
