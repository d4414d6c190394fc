// Every modal interaction of the window goes through Dialogs: the Qt
// implementation shows real dialogs, tests script the answers and record
// what was asked, so no test ever blocks on a modal dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "platform/codepage.h"

class QPrinter;
class QWidget;

namespace tv {

/// The icon of a message box; None shows a plain one.
enum class MessageIcon { None, Information, Warning, Stop, Question };

/// An open-file dialog: title, filters in Qt's form ("Name (*.a *.b)"),
/// the filter shown first (0-based), the first folder, one or several files.
struct OpenFileRequest {
  QString title;
  QStringList filters;
  int initial_filter = 0;
  QString initial_folder;
  bool multiple = false;
};

struct OpenFileAnswer {
  bool accepted = false;
  QStringList paths;  // full paths, in the dialog's order
  int filter = 0;     // the filter chosen, 0-based
};

/// A save-file dialog: title, filters in Qt's form, the first folder. It
/// adds no extension and never asks about overwriting itself.
struct SaveFileRequest {
  QString title;
  QStringList filters;
  QString initial_folder;
};

struct SaveFileAnswer {
  bool accepted = false;
  QString path;    // the full path as the user gave it
  int filter = 0;  // the filter chosen, 0-based
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void Message(QWidget* parent, MessageIcon icon, const QString& caption,
                       const QString& text) = 0;
  virtual OpenFileAnswer OpenFiles(QWidget* parent, const OpenFileRequest& request) = 0;
  /// A folder chooser with a title, opened at `initial_folder`: the chosen
  /// folder's absolute path, or "" when it was cancelled.
  virtual QString ChooseFolder(QWidget* parent, const QString& title,
                               const QString& initial_folder) = 0;
  /// The print dialog on `printer`, which it sets up; true when accepted.
  virtual bool Print(QWidget* parent, QPrinter& printer) = 0;
  /// The folder tree over the folder list of the settings file: on OK the
  /// list is saved and the selection's text comes back; nothing on Cancel.
  virtual std::optional<QString> PickFolders(QWidget* parent, const std::string& settings_path,
                                             CodePage code_page) = 0;
  virtual SaveFileAnswer SaveFile(QWidget* parent, const SaveFileRequest& request) = 0;
  /// A question with Yes and No buttons and the question icon: true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
};

/// The file on disk that a path chosen in a Qt dialog names. Qt shows a
/// name that is not UTF-8 with replacement characters; the entry whose
/// shown form (Qt's, or ours: read in the ANSI code page) is the choice is
/// the one that was picked. A name that exists nowhere stays as its text.
std::string PathOnDisk(const QString& chosen, CodePage cp);

/// Real dialogs: QMessageBox, Qt's own QFileDialog and the folder chooser
/// with its per-user history.
class QtDialogs : public Dialogs {
 public:
  void Message(QWidget* parent, MessageIcon icon, const QString& caption,
               const QString& text) override;
  OpenFileAnswer OpenFiles(QWidget* parent, const OpenFileRequest& request) override;
  QString ChooseFolder(QWidget* parent, const QString& title,
                       const QString& initial_folder) override;
  bool Print(QWidget* parent, QPrinter& printer) override;
  std::optional<QString> PickFolders(QWidget* parent, const std::string& settings_path,
                                     CodePage code_page) override;
  SaveFileAnswer SaveFile(QWidget* parent, const SaveFileRequest& request) override;
  bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
};

}  // namespace tv
