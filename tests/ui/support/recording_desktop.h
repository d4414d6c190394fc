// A desktop that records what the window asks it to open, so no test ever
// starts a program, a viewer or a file manager.
#pragma once

#include <QString>
#include <QUrl>
#include <vector>

#include "ui/desktop.h"

namespace tv::test {

class RecordingDesktop : public Desktop {
 public:
  struct Call {
    QString what;  // "open", "view", "properties", "browser" or "trusted"
    SourceFile file;
  };

  bool OpenWithDefaultProgram(const std::string& path) override { return Record("open", path); }
  void ViewSource(QWidget*, const SourceFile& file) override {
    calls.push_back({QStringLiteral("view"), file});
  }
  void ShowProperties(QWidget*, const SourceFile& file) override {
    calls.push_back({QStringLiteral("properties"), file});
  }
  bool OpenInBrowser(const QUrl& url) override {
    return Record("browser", url.toString().toStdString());
  }
  void MarkTrusted(const QString& path) override { Record("trusted", path.toStdString()); }
  bool Record(const char* what, const std::string& path) {
    SourceFile file;
    file.path = path;
    calls.push_back({QString::fromLatin1(what), file});
    return true;
  }
  /// The last call as "what path", or "" when nothing was asked.
  QString Last() const {
    return calls.empty() ? QString()
                         : calls.back().what + QLatin1Char(' ') +
                               QString::fromStdString(calls.back().file.path);
  }

  std::vector<Call> calls;
};

}  // namespace tv::test
