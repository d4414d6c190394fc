// Dialogs that answer from a script and record what was asked, so widget
// tests never block on a modal dialog.
#pragma once

#include <QPrinter>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/dialogs.h"

namespace tv::test {

class ScriptedDialogs : public Dialogs {
 public:
  struct Call {
    QString caption;          // a message's caption, or "open", "folder", "folder tree"
    QString text;             // a message's text, or the file dialog's or chooser's title
    OpenFileRequest request;  // for a chooser, only its initial folder
    MessageIcon icon = MessageIcon::None;
  };

  void Message(QWidget*, MessageIcon icon, const QString& caption, const QString& text) override {
    calls.push_back({caption, text, {}, icon});
    if (on_message) on_message();
  }
  OpenFileAnswer OpenFiles(QWidget*, const OpenFileRequest& request) override {
    calls.push_back({QStringLiteral("open"), request.title, request});
    return Next(answers);
  }
  QString ChooseFolder(QWidget*, const QString& title, const QString& initial_folder) override {
    OpenFileRequest request;
    request.initial_folder = initial_folder;
    calls.push_back({QStringLiteral("folder"), title, request});
    return Next(folders);  // "": cancelled
  }
  std::optional<QString> PickFolders(QWidget*, const std::string&, CodePage) override {
    calls.push_back({QStringLiteral("folder tree"), QStringLiteral("请选择需要统计的目录"), {}});
    const QString kept = Next(folder_trees);
    if (kept.isEmpty()) return std::nullopt;  // cancelled
    return kept;
  }
  /// Records "save" with the title, filters and first folder; answered from `saves`.
  SaveFileAnswer SaveFile(QWidget*, const SaveFileRequest& r) override {
    calls.push_back({QStringLiteral("save"), r.title, {r.title, r.filters, 0, r.initial_folder}});
    return Next(saves);
  }
  /// Recorded with the question icon; answered from `yes_no` (none left: No).
  bool AskYesNo(QWidget*, const QString& caption, const QString& text) override {
    calls.push_back({caption, text, {}, MessageIcon::Question});
    return Next(yes_no);
  }
  template <class T>
  static T Next(std::deque<T>& answers) {
    T next = answers.empty() ? T{} : answers.front();
    if (!answers.empty()) answers.pop_front();
    return next;
  }
  /// Records the fields the dialog would open with as "print: copies N,
  /// pages A to B"; accepted with a PDF file when `pdf_files` has one.
  bool Print(QWidget*, QPrinter& printer) override {
    calls.push_back({QStringLiteral("print"),
                     QStringLiteral("copies %1, pages %2 to %3")
                         .arg(printer.copyCount())
                         .arg(printer.fromPage())
                         .arg(printer.toPage()),
                     {}});
    if (pdf_files.empty()) return false;  // cancelled
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Next(pdf_files));
    return true;
  }
  /// The last call as "caption: text", or "" when nothing was asked.
  QString Last() const {
    return calls.empty() ? QString()
                         : calls.back().caption + QStringLiteral(": ") + calls.back().text;
  }

  std::vector<Call> calls;
  std::deque<OpenFileAnswer> answers;
  std::deque<QString> folder_trees;  // the folder tree's answers; "" or none: cancelled
  std::deque<QString> pdf_files;     // the print dialog's answers; none: cancelled
  std::deque<QString> folders;       // the choosers' answers; "" or none: cancelled
  std::deque<SaveFileAnswer> saves;  // the save dialog's answers; none: cancelled
  std::deque<bool> yes_no;           // the questions' answers
  std::function<void()> on_message;  // called while a message is shown
};

}  // namespace tv::test
