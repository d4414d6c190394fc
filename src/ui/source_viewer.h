// The program's own source viewer: a file's text with line numbers, each
// line tinted by the class the counter gives it, a legend saying how each
// class counts, the row's counts above and the family used below.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/tally.h"
#include "ui/desktop.h"

class QLabel;

namespace tv {

class LinesView;

/// The tint of a class and what its legend entry says.
struct LineClassLook {
  LineClass line_class;
  const char* name;
  const char* counted;  // how a line of this class is counted
  unsigned rgb;
};
extern const LineClassLook kLineClassLooks[5];
const LineClassLook& LookOf(LineClass c);

/// The shown text of a file: its first lines, cut after kShownBytes.
struct ShownText {
  std::string bytes;           // the shown bytes as read: the lines' classes come from them
  std::vector<QString> lines;  // tabs expanded, control characters made visible
  bool utf8 = false;           // decoded as UTF-8 rather than the ANSI code page
  bool opened = false;
  bool cut = false;  // the file goes on past the shown bytes
  qint64 shown_bytes = 0;
};

/// Reads and decodes the first `limit` bytes of `path`, split into lines as
/// the counter splits them; nothing past them is read. `stop` (null: never)
/// is read once per chunk; once it is set the text is left unfinished.
ShownText ReadShownText(const std::string& path, CodePage cp, qint64 limit,
                        const std::atomic<bool>* stop = nullptr);

class SourceViewer : public QWidget {
  Q_OBJECT
 public:
  /// At most this much of a file is shown.
  static constexpr qint64 kShownBytes = 8 * 1024 * 1024;

  /// How the shown text is read; the stop flag is set when the window goes.
  using TextReader = std::function<ShownText(const std::atomic<bool>& stop)>;

  /// A top-level window over `file`; reading and classifying run on a
  /// thread of their own, so the window shows at once. Deleted on close;
  /// closing never waits for that thread, which ends on its own soon after.
  /// `read` stands in for reading the file (tests).
  explicit SourceViewer(const SourceFile& file, QWidget* parent = nullptr, TextReader read = {});
  ~SourceViewer() override;

  const std::string& Path() const { return file_.path; }
  /// True once the text is shown; then once every shown line has its class.
  bool TextReady() const { return text_ready_; }
  bool ClassesReady() const { return classes_ready_; }
  int ShownLines() const;
  QString LineText(int line) const;
  /// The class each shown line is tinted with (empty until ready).
  const std::vector<LineClass>& Classes() const;
  QString CountsText() const;
  QString NoticeText() const;
  QString StatusText() const;

 signals:
  void ClassesArrived();

 private:
  void OnText(std::shared_ptr<ShownText> text);
  void OnClasses(std::shared_ptr<std::vector<LineClass>> classes);
  void UpdateStatus();

  SourceFile file_;
  bool text_ready_ = false;
  bool classes_ready_ = false;
  LinesView* view_ = nullptr;
  QLabel* counts_ = nullptr;
  QLabel* notice_ = nullptr;
  QLabel* status_ = nullptr;
  bool utf8_ = false;
  struct Link;
  std::shared_ptr<Link> link_;  // shared with the worker, which may outlive the window
};

/// The name of a family and the markers its rules look for.
QString FamilyText(LanguageFamily family);

}  // namespace tv
