#include "ui/about_dialog.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <array>

#include "ui/controls/icon_button.h"
#include "ui/dialog_units.h"

namespace tv {
namespace {

// The usage text, one entry a line; "" is a blank line between sections.
constexpr const char* kUsageLines[] = {
    "Tallyvane —— 源代码行数统计工具",
    "获取方式：Tallyvane 以源代码形式发布，获取与反馈的途径见使用说明中的“关于本项目”一节。",
    "当前版本：v3.7 build 0302",
    "",
    "软件功能：",
    "Tallyvane 逐行读取源文件，按文件所属语言的注释语法把每一行归为空行、代码行、注释行，"
    "或既是代码又是注释的行，给出每个文件的总行数、代码行数、注释行数、空行数和注释率"
    "（注释行 ÷（代码行 + 注释行）），并汇总全部文件。主要功能：",
    "1. 统计工程文件中列出的全部源文件：Visual C++ 工程（.dsp、.vcproj）、C++Builder 工程"
    "（.bpr）、Visual Basic 工程和工程组（.vbp、.vbg）、Delphi 工程（.dpr）、C# 工程（.csproj）；",
    "2. 统计 C/C++ 源文件和头文件（.c、.cpp、.h）；",
    "3. 一次选择多个文件，同时统计；",
    "4. 一次统计多种类型的文件；",
    "5. 统计 Basic 源文件（.bas、.frm、.ctl、.cls）；",
    "6. 统计汇编源文件（.asm、.inc）；",
    "7. 统计 Pascal/Delphi 源文件（.pas、.dfm）；",
    "8. 统计 C# 源文件（.cs）；",
    "9. 统计 Java 源文件（.java）；",
    "10. 统计 SQL 脚本（.sql）；",
    "11. 在“All Files (*.*)”下选择文件，按扩展名自动选用统计方法；",
    "12. 统计单个目录（可包括其子目录）；",
    "13. 一次统计多个目录；",
    "14. 用户自定义文件类型：为五种注释语法各加一组扩展名；",
    "15. 把统计结果保存为 HTML、Excel、CSV 或 TXT 文件；",
    "16. 打印统计结果，或打印成 PDF 文件；",
    "17. 命令行方式：不打开窗口，统计后直接写出报告（-f、-d、-s 与 -o）；",
    "18. 桌面启动器，以及文件管理器中的“Tallyvane Pro”发送项；",
    "19. 用配置文件（选择文件）保存要统计的文件和目录，在窗口和命令行中都可使用。",
    "",
    "使用方法：",
    "点“文件选择”选出要统计的源文件或工程文件，或点“目录选择”选出一个或多个目录，"
    "再点“开始统计”。统计中可随时点“停止统计”。统计结果列在表格中，点列标题可排序，"
    "双击一行可查看该文件的源码；用“保存结果”“打印结果”输出报告。"
    "详细说明请看菜单“帮助”中的“使用说明”。",
    "",
    "※需要说明的几点※",
    "1. 同一行中既有代码又有注释时，这一行既算一行代码，也算一行注释，"
    "所以代码行、注释行、空行之和可能大于总行数；",
    "2. 选择“All Files (*.*)”或目录时，按每个文件的扩展名选用统计方法；",
    "3. 打印时只打印文件名，不打印文件所在的路径；",
    "4. 块注释中的空行算作空行；",
    "5. 文件名相同的两个文件视为同一个文件（可在参数设置中选择是否跳过同名文件）。",
    "",
    "※注意事项※",
    "1. 只能统计纯文本格式的源文件；",
    "2. 自动识别的扩展名有：.dsp .bpr .vbp .dpr .cpp .c .h .asm .inc .frm .bas .ctl .cls "
    ".pas .dfm .java .cs .sql，其它扩展名可在参数设置中自行加入；",
    "3. 要统计没有扩展名的文件，在参数设置的自定义文件类型中输入“*.;”。",
    "",
};

// Joins the characters of every Latin word, name or number ("C++Builder",
// "v3.7", "(*.*)") with word joiners, so that no line breaks inside one;
// lines still break at blanks and around Chinese text.
QString KeepWordsWhole(const QString& text) {
  auto latin = [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x2000 && !c.isSpace(); };
  QString joined;
  joined.reserve(text.size() * 2);
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (i > 0 && latin(text[i - 1]) && latin(text[i])) joined += QChar(0x2060);
    joined += text[i];
  }
  return joined;
}

}  // namespace

QString AboutDialog::UsageText() {
  QStringList lines;
  for (const char* line : kUsageLines) lines << QString::fromUtf8(line);
  lines << QStringLiteral(
               "运行环境：Linux（GNOME、KDE Plasma、Xfce 等桌面，X11 或 Wayland），Qt %1")
               .arg(QString::fromLatin1(qVersion()));
  lines << QString() << QString() << QStringLiteral("致谢：")
        << QStringLiteral("感谢每一位试用本程序、报告问题和提出建议的用户。") << QString()
        << QStringLiteral("联系方式：")
        << QStringLiteral(
               "本项目不设网址和电子邮箱；报告问题和提出建议的方法见使用说明中的"
               "“报告问题”一节。")
        << QString() << QStringLiteral("后记：")
        << QStringLiteral(
               "数代码行数不能衡量一个程序的好坏，但能帮助了解一个项目的规模和"
               "注释的多少。希望它对您有用。")
        << QString() << QStringLiteral("使用条款：")
        << QStringLiteral(
               "统计结果仅供参考。使用本软件的风险由使用者自行承担，作者不对因使用"
               "本软件造成的任何损失负责。");
  return lines.join(QLatin1Char('\n'));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("100"));
  setWindowTitle(QStringLiteral("关于"));
  setWindowIcon(ProgramIcon(128));
  const DialogUnits du(font());
  setFixedSize(du.Size(280, 225));

  auto* frame = new QGroupBox(this);
  frame->setGeometry(du.Rect(7, 2, 266, 194));

  auto* title = new QLabel(QStringLiteral("Tallyvane"), this);
  title->setObjectName(QStringLiteral("1028"));
  QFont title_font = title->font();
  title_font.setFamilies({QStringLiteral("楷体_GB2312"), QStringLiteral("KaiTi"),
                          QStringLiteral("AR PL UKai CN"), QStringLiteral("serif")});
  title_font.setPixelSize(22);
  title_font.setWeight(QFont::Bold);
  title->setFont(title_font);
  title->setAlignment(Qt::AlignCenter);
  title->setGeometry(du.Rect(65, 14, 150, 14).adjusted(0, -3, 0, 3));

  // The two credit lines, centred; CJK glyphs get a little more room.
  const std::array<std::pair<QString, QRect>, 2> credits = {{
      {QStringLiteral("源代码行数统计工具"), du.Rect(108, 37, 63, 11)},
      {QStringLiteral("Tallyvane 项目 · 以 C++20 和 Qt 6 编写"), du.Rect(58, 180, 163, 10)},
  }};
  for (const auto& [text, rect] : credits) {
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(rect.adjusted(-du.X(20), -2, du.X(20), 2));
  }

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("1000"));
  text_->setGeometry(du.Rect(13, 55, 254, 117));
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setReadOnly(true);
  text_->setTabChangesFocus(true);
  text_->setPlainText(KeepWordsWhole(UsageText()));
  text_->setAccessibleName(QStringLiteral("使用说明"));
  QPalette palette = text_->palette();
  palette.setColor(QPalette::Base, QColor(245, 245, 245));
  text_->setPalette(palette);
  text_->installEventFilter(this);

  auto* ok = new IconButton(QStringLiteral("1"), QStringLiteral("确 定"), QIcon(), this);
  ok->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ok->setAutoRaise(false);
  ok->setGeometry(du.Rect(113, 202, 53, 16));
  connect(ok, &QToolButton::clicked, this, &QDialog::accept);
  ok->setFocus();

  for (QWidget* widget : findChildren<QWidget*>()) SwallowRightButton(widget);
  SwallowRightButton(this);
}

void AboutDialog::SwallowRightButton(QWidget* widget) {
  widget->setContextMenuPolicy(Qt::PreventContextMenu);
  widget->installEventFilter(this);
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();  // only the button or the close box ends the dialog
    return;
  }
  QDialog::keyPressEvent(event);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    case QEvent::ContextMenu:
      return true;
    case QEvent::KeyPress: {
      if (watched != text_) break;
      // The text only scrolls: the scroll keys pass, everything else
      // (typing, copying, selecting) is swallowed. Tab still moves on to
      // the button, as the dialog's own navigation.
      const int key = static_cast<QKeyEvent*>(event)->key();
      switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
          return false;
        default:
          return true;
      }
    }
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tv
