#include "ui/source_viewer.h"

#include <sys/stat.h>

#include <QAbstractScrollArea>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/file_types.h"
#include "engine/line_classes.h"
#include "platform/file_reader.h"
#include "reports/result_texts.h"

namespace tv {

const LineClassLook kLineClassLooks[5] = {
    {LineClass::Blank, "空白行", "计 1 个空白行", 0xF0F0F0},
    {LineClass::Code, "代码行", "计 1 个代码行", 0xDDEBFF},
    {LineClass::Comment, "注释行", "计 1 个注释行", 0xDBF3D6},
    {LineClass::CodeAndComment, "代码和注释", "计 1 个代码行和 1 个注释行", 0xFFF0B8},
    {LineClass::DoubleCodeAndComment, "双计行", "计 2 个代码行和 1 个注释行", 0xFFD0C8},
};

const LineClassLook& LookOf(LineClass c) {
  return kLineClassLooks[static_cast<int>(c)];
}

QString FamilyText(LanguageFamily family) {
  switch (family) {
    case LanguageFamily::CFamily:
      return QStringLiteral("C 系列 (C、C++、Java、C#)，注释: // 与 /* */");
    case LanguageFamily::Sql:
      return QStringLiteral("SQL，注释: -- 与 /* */");
    case LanguageFamily::Pascal:
      return QStringLiteral("Pascal，注释: //、{ } 与 (* *)");
    case LanguageFamily::Basic:
      return QStringLiteral("Basic，注释: '");
    case LanguageFamily::Assembly:
      return QStringLiteral("汇编，注释: ;");
  }
  return {};
}

namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString SizeText(qint64 bytes) {
  return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// Bytes at the end of a cut that begin a UTF-8 character the cut split.
size_t SplitUtf8Tail(std::string_view s) {
  for (size_t k = 1; k <= 3 && k <= s.size(); ++k) {
    const auto b = static_cast<unsigned char>(s[s.size() - k]);
    if ((b & 0xC0) == 0x80) continue;
    const size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return need > k ? k : 0;
  }
  return 0;
}

// Tabs to the next multiple of four columns; other control characters as
// their visible symbols, so no line shows an empty box.
QString Displayable(const QString& line) {
  bool plain = true;
  for (QChar c : line) plain &= c.unicode() >= 0x20 && c.unicode() != 0x7F;
  if (plain) return line;
  QString out;
  out.reserve(line.size() + 8);
  for (QChar c : line) {
    const char16_t u = c.unicode();
    if (u == '\t') {
      out.append(QString(4 - out.size() % 4, QLatin1Char(' ')));
    } else if (u < 0x20) {
      out.append(QChar(char16_t(0x2400 + u)));
    } else if (u == 0x7F) {
      out.append(QChar(char16_t(0x2421)));
    } else {
      out.append(c);
    }
  }
  return out;
}

}  // namespace

ShownText ReadShownText(const std::string& path, CodePage cp, qint64 limit,
                        const std::atomic<bool>* stop) {
  const auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
  ShownText out;
  FileReader file;
  if (!file.Open(path)) return out;
  out.opened = true;
  constexpr size_t kChunk = 1 << 20;
  std::string& bytes = out.bytes;
  bytes.resize(static_cast<size_t>(limit));
  size_t got = 0;
  while (got < bytes.size()) {
    if (stopped()) return out;
    const size_t n = file.Read(bytes.data() + got, std::min(kChunk, bytes.size() - got));
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  char probe;
  out.cut = got == static_cast<size_t>(limit) && file.Read(&probe, 1) == 1;
  // The counter reads nothing after an end-of-file byte, and neither does the view.
  if (const void* mark = std::memchr(bytes.data(), 0x1A, bytes.size())) {
    bytes.resize(static_cast<size_t>(static_cast<const char*>(mark) - bytes.data()));
    out.cut = false;
  }
  if (out.cut) bytes.resize(bytes.size() - SplitUtf8Tail(bytes));
  out.shown_bytes = static_cast<qint64>(bytes.size());
  out.utf8 = IsValidUtf8(bytes);
  if (stopped()) return out;
  const QString text = Q(out.utf8 ? bytes : AnsiToUtf8(bytes, cp));
  // Lines end as the counter ends them: at a line feed, with a carriage
  // return before it dropped; the last line counts when it holds anything.
  for (qsizetype start = 0; start < text.size();) {
    if (out.lines.size() % 4096 == 0 && stopped()) break;
    qsizetype end = text.indexOf(QLatin1Char('\n'), start);
    const bool last = end < 0;
    if (last) end = text.size();
    qsizetype len = end - start;
    if (!last && len > 0 && text[end - 1] == QLatin1Char('\r')) --len;
    out.lines.push_back(Displayable(text.mid(start, len)));
    start = end + 1;
  }
  return out;
}

// The lines with their numbers and tints, painted only where they show, so
// a file of a million lines or one of a single 8 MB line scrolls freely.
// The scroll bars count lines and character columns.
class LinesView : public QAbstractScrollArea {
 public:
  explicit LinesView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setBackgroundRole(QPalette::Base);
  }

  void SetLines(std::vector<QString> lines) {
    lines_ = std::move(lines);
    longest_ = 0;
    for (const QString& l : lines_) longest_ = std::max(longest_, l.size());
    UpdateScrollBars();
    viewport()->update();
  }
  void SetClasses(std::vector<LineClass> classes) {
    classes_ = std::move(classes);
    viewport()->update();
  }
  const std::vector<QString>& Lines() const { return lines_; }
  const std::vector<LineClass>& Classes() const { return classes_; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
  }

  void paintEvent(QPaintEvent*) override {
    QPainter p(viewport());
    const QFontMetrics fm(font());
    const int lh = fm.height(), cw = CharWidth(), gutter = GutterWidth();
    const int width = viewport()->width();
    p.fillRect(viewport()->rect(), palette().base());
    p.fillRect(0, 0, gutter, viewport()->height(), palette().window());
    const int first = verticalScrollBar()->value();
    const int column = horizontalScrollBar()->value();
    const int rows = viewport()->height() / lh + 1;
    const int columns = (width - gutter) / cw + 2;
    for (int i = 0; i < rows; ++i) {
      const size_t line = static_cast<size_t>(first + i);
      if (line >= lines_.size()) break;
      const int y = i * lh;
      if (line < classes_.size()) {
        const QColor tint = QColor::fromRgb(LookOf(classes_[line]).rgb);
        p.fillRect(gutter, y, width - gutter, lh, tint);
        p.fillRect(gutter - 4, y, 4, lh, tint.darker(130));
      }
      p.setPen(palette().color(QPalette::PlaceholderText));
      p.drawText(QRect(0, y, gutter - 8, lh), Qt::AlignRight | Qt::AlignVCenter,
                 QString::number(line + 1));
      const QString& text = lines_[line];
      if (column < text.size()) {
        p.setPen(palette().color(QPalette::Text));
        p.drawText(gutter + 4, y + fm.ascent(), text.mid(column, columns));
      }
    }
  }

 private:
  int CharWidth() const {
    return std::max(1, QFontMetrics(font()).horizontalAdvance(QLatin1Char('0')));
  }
  int GutterWidth() const {
    const int digits = static_cast<int>(QString::number(std::max<size_t>(lines_.size(), 1)).size());
    return CharWidth() * std::max(digits, 3) + 16;
  }
  void UpdateScrollBars() {
    const int lh = QFontMetrics(font()).height();
    const int visible_rows = std::max(1, viewport()->height() / lh);
    const int visible_columns = std::max(1, (viewport()->width() - GutterWidth()) / CharWidth());
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(lines_.size()) - visible_rows));
    verticalScrollBar()->setPageStep(visible_rows);
    horizontalScrollBar()->setRange(0,
                                    std::max(0, static_cast<int>(longest_) - visible_columns + 1));
    horizontalScrollBar()->setPageStep(visible_columns);
    horizontalScrollBar()->setSingleStep(4);
  }

  std::vector<QString> lines_;
  std::vector<LineClass> classes_;
  qsizetype longest_ = 0;
};

// What the window and its worker share. The worker posts to the window only
// while the window exists; the window, when it goes, sets the stop flag and
// forgets itself here, and never waits for the worker.
struct SourceViewer::Link {
  std::atomic<bool> stop{false};
  std::mutex lock;
  SourceViewer* viewer = nullptr;  // guarded by `lock`; null once the window is gone

  template <class Call>
  void Post(Call call) {
    std::lock_guard<std::mutex> hold(lock);
    // A call still queued when the window goes is dropped with it.
    if (viewer != nullptr) QMetaObject::invokeMethod(viewer, std::move(call), Qt::QueuedConnection);
  }
};

SourceViewer::SourceViewer(const SourceFile& file, QWidget* parent, TextReader read)
    : QWidget(parent, Qt::Window), file_(file) {
  setObjectName(QStringLiteral("source-viewer"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(Q(NameToUtf8(GetFileNamePart(file_.path), file_.code_page)));

  auto* layout = new QVBoxLayout(this);
  const std::vector<ColumnHeader> headers = ParseColumnSpec(kColumnSpec);
  QStringList counts;
  for (int column = kLines; column <= kRatio; ++column) {
    counts << Q(headers[static_cast<size_t>(column)].text).trimmed() + QStringLiteral(": ") +
                  Q(file_.row[static_cast<size_t>(column)]);
  }
  counts_ = new QLabel(counts.join(QStringLiteral("    ")), this);
  counts_->setObjectName(QStringLiteral("counts"));
  counts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont bold = counts_->font();
  bold.setBold(true);
  counts_->setFont(bold);
  layout->addWidget(counts_);

  notice_ = new QLabel(this);
  notice_->setObjectName(QStringLiteral("notice"));
  notice_->setStyleSheet(QStringLiteral("color: #a01010;"));
  notice_->setWordWrap(true);
  notice_->hide();
  layout->addWidget(notice_);

  auto* legend = new QGridLayout;
  legend->setHorizontalSpacing(12);
  for (int i = 0; i < 5; ++i) {
    const LineClassLook& look = kLineClassLooks[i];
    auto* swatch = new QLabel(this);
    const int side = fontMetrics().height();
    swatch->setFixedSize(side, side);
    swatch->setStyleSheet(QStringLiteral("background: #%1; border: 1px solid #808080;")
                              .arg(look.rgb, 6, 16, QLatin1Char('0')));
    auto* text = new QLabel(
        QString::fromUtf8(look.name) + QStringLiteral(": ") + QString::fromUtf8(look.counted),
        this);
    legend->addWidget(swatch, i / 3, (i % 3) * 2);
    legend->addWidget(text, i / 3, (i % 3) * 2 + 1);
  }
  legend->setColumnStretch(5, 1);
  layout->addLayout(legend);

  view_ = new LinesView(this);
  layout->addWidget(view_, 1);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  layout->addWidget(status_);
  UpdateStatus();

  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  resize(std::min(960, screen.width() * 9 / 10), std::min(720, screen.height() * 9 / 10));

  link_ = std::make_shared<Link>();
  link_->viewer = this;
  if (!read) {
    read = [path = file_.path, cp = file_.code_page](const std::atomic<bool>& stop) {
      return ReadShownText(path, cp, kShownBytes, &stop);
    };
  }
  // Reading, decoding and classifying all run here, on the shown bytes
  // only; the window only receives the results, queued, in order.
  std::thread([this, link = link_, read = std::move(read), family = file_.family,
               cp = file_.code_page] {
    auto text = std::make_shared<ShownText>(read(link->stop));
    const std::string bytes = std::move(text->bytes);
    link->Post([this, text] { OnText(text); });
    if (link->stop) return;
    auto classes =
        std::make_shared<std::vector<LineClass>>(ClassifyLines(family, bytes, cp, &link->stop));
    if (link->stop) return;
    link->Post([this, classes] { OnClasses(classes); });
  }).detach();
}

SourceViewer::~SourceViewer() {
  link_->stop = true;
  std::lock_guard<std::mutex> hold(link_->lock);
  link_->viewer = nullptr;
}

void SourceViewer::OnText(std::shared_ptr<ShownText> text) {
  utf8_ = text->utf8;
  struct stat st {};
  const qint64 size = ::stat(file_.path.c_str(), &st) == 0 ? st.st_size : 0;
  if (!text->opened) {
    notice_->setText(QStringLiteral("无法打开文件: ") + Q(NameToUtf8(file_.path, file_.code_page)));
    notice_->show();
  } else if (text->cut) {
    notice_->setText(QStringLiteral("文件共 %1，只显示前 %2 (%3 行)。")
                         .arg(SizeText(size), SizeText(text->shown_bytes))
                         .arg(text->lines.size()));
    notice_->show();
  }
  view_->SetLines(std::move(text->lines));
  text_ready_ = true;
  // A short file gets a window no taller than its lines need.
  const int needed = height() - view_->viewport()->height() +
                     (ShownLines() + 1) * QFontMetrics(view_->font()).height();
  if (needed < height()) resize(width(), std::max(needed, 360));
  UpdateStatus();
}

void SourceViewer::OnClasses(std::shared_ptr<std::vector<LineClass>> classes) {
  view_->SetClasses(std::move(*classes));
  classes_ready_ = true;
  UpdateStatus();
  emit ClassesArrived();
}

void SourceViewer::UpdateStatus() {
  QString text = QStringLiteral("分类规则: ") + FamilyText(file_.family);
  if (text_ready_) {
    text += QStringLiteral("    编码: ") + (utf8_ ? QStringLiteral("UTF-8")
                                            : file_.code_page == CodePage::Gbk
                                                ? QStringLiteral("GBK")
                                                : QStringLiteral("UTF-8 (含无效字节)"));
    text += QStringLiteral("    显示 %1 行").arg(view_->Lines().size());
  }
  if (!classes_ready_) text += QStringLiteral("    正在分类...");
  status_->setText(text);
}

int SourceViewer::ShownLines() const {
  return static_cast<int>(view_->Lines().size());
}

QString SourceViewer::LineText(int line) const {
  return view_->Lines().at(static_cast<size_t>(line));
}

const std::vector<LineClass>& SourceViewer::Classes() const {
  return view_->Classes();
}

QString SourceViewer::CountsText() const {
  return counts_->text();
}

QString SourceViewer::NoticeText() const {
  return notice_->isHidden() ? QString() : notice_->text();
}

QString SourceViewer::StatusText() const {
  return status_->text();
}

}  // namespace tv
