// Dialogs that answer from a script and record what was asked, so widget
// tests never block on a modal dialog.
#pragma once

#include <QString>
#include <deque>
#include <vector>

#include "ui/dialogs.h"

namespace tv::test {

class ScriptedDialogs : public Dialogs {
 public:
  struct Call {
    QString caption;  // a message's caption, or "open" for a file dialog
    QString text;     // a message's text, or the file dialog's title
    OpenFileRequest request;
  };

  void Message(QWidget*, MessageIcon, const QString& caption, const QString& text) override {
    calls.push_back({caption, text, {}});
  }
  OpenFileAnswer OpenFiles(QWidget*, const OpenFileRequest& request) override {
    calls.push_back({QStringLiteral("open"), request.title, request});
    if (answers.empty()) return {};
    OpenFileAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  /// The last call as "caption: text", or "" when nothing was asked.
  QString Last() const {
    return calls.empty() ? QString()
                         : calls.back().caption + QStringLiteral(": ") + calls.back().text;
  }

  std::vector<Call> calls;
  std::deque<OpenFileAnswer> answers;
};

}  // namespace tv::test
