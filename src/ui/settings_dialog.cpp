#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

#include "engine/file_types.h"
#include "settings/settings_form.h"
#include "ui/controls/icon_button.h"
#include "ui/desktop.h"
#include "ui/dialog_units.h"
#include "ui/dialogs.h"

namespace tv {

namespace {

constexpr char kCaption[] = "保存设置";

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsPlaces places, Dialogs& dialogs, Desktop& desktop,
                               QWidget* parent)
    : QDialog(parent), places_(std::move(places)), dialogs_(dialogs), desktop_(desktop) {
  setObjectName(QStringLiteral("162"));
  setWindowTitle(QStringLiteral("参数设置"));
  setWindowIcon(ProgramIcon(128));
  const DialogUnits du(font());
  // One row taller than the original layout: the ignore-files box has its
  // own row under the two columns.
  constexpr int kExtra = 14;
  setFixedSize(du.Size(300, 328 + kExtra));

  // The built-in list, then the five user lists, each under its label. The
  // labels get a little room past their rectangles: CJK glyphs are taller
  // than the letters the dialog units are measured on.
  struct ListSpec {
    int id;
    const char* label;
  } lists[] = {
      {1000, "系统支持的缺省文件统计类型:"},
      {1021, "VC,C++,C,C++ Builder,Java,C# 文件用户自定义统计类型:"},
      {1022, "VB 文件用户自定义统计类型:"},
      {1023, "Delphi 文件用户自定义统计类型:"},
      {1024, "汇编文件用户自定义统计类型:"},
      {1027, "SQL 文件用户自定义统计类型:"},
  };
  int y = 7;
  for (const ListSpec& l : lists) {
    auto* label = new QLabel(QString::fromUtf8(l.label), this);
    label->setGeometry(du.Rect(10, y, 280, 9).adjusted(0, -2, 0, 2));
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(l.id));
    edit->setGeometry(du.Rect(10, y + 11, 280, 13));
    label->setBuddy(edit);
    if (l.id == 1000) {
      edit->setReadOnly(true);
      edit->setText(Q(kBuiltInTypeList));
      edit->setCursorPosition(0);
    } else {
      lists_[l.id] = edit;
    }
    y += 28;
  }

  auto* note = new QLabel(
      QStringLiteral("说明： 用户自定义统计类型仅用于选择“*.*”或目录统计的情况，程序只选择所有已"
                     "定义的文件类型。没有加入系统或自定义统计类型中的文件不会加入统计文件中，程"
                     "序自动根据自定义类型选择正确的统计方式。对应系统缺省支持的文件类型程序会自"
                     "动处理。请注意自定义文件类型的输入格式，类型后面一定要有分号。"),
      this);
  note->setObjectName(QStringLiteral("note"));
  note->setWordWrap(true);
  note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  note->setGeometry(du.Rect(10, y + 1, 280, 40));

  // The check boxes in two columns, and one across both.
  struct FlagSpec {
    int id;
    const char* text;
    int x, y, width = 140;
  } flags[] = {
      {1026, "显示每个统计文件注释百分比", 10, 0},
      {1029, "目录统计时包含同名文件", 10, 1},
      {1035, "目录统计时不包括子目录中文件", 10, 2},
      {1036, "显示统计进度条（影响统计速率）", 10, 3},
      {1048, "显示统计选择的文件名", 155, 0},
      {1049, "使用关联程序打开文件", 155, 1},
      {1033, "创建桌面快捷方式图标", 155, 2},
      {1052, "在资源管理器中加入快捷操作方式", 155, 3},
      {1053, "目录统计时忽略 .gitignore 中的文件", 10, 4, 280},
  };
  const int flags_top = y + 45;
  for (const FlagSpec& f : flags) {
    auto* box = new QCheckBox(QString::fromUtf8(f.text), this);
    box->setObjectName(QString::number(f.id));
    box->setGeometry(du.Rect(f.x, flags_top + 14 * f.y, f.width, 12).adjusted(0, -1, 0, 1));
    if (f.id == 1052) {
      send_to_ = box;
    } else {
      flags_[f.id] = box;
    }
  }

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(du.Rect(7, 278 + kExtra, 286, 1).adjusted(0, -1, 0, 1));

  auto* save =
      new IconButton(QStringLiteral("1006"), QStringLiteral("保 存"), ProgramIcon(169), this);
  save->setGeometry(du.Rect(206, 284 + kExtra, 39, 36));
  auto* cancel =
      new IconButton(QStringLiteral("2"), QStringLiteral("取 消"), ProgramIcon(180), this);
  cancel->setGeometry(du.Rect(251, 284 + kExtra, 39, 36));
  // Icons the size of the window's toolbar icons.
  for (IconButton* button : {save, cancel}) button->setIconSize(QSize(du.X(16), du.X(16)));
  connect(save, &QToolButton::clicked, this, &SettingsDialog::Save);
  connect(cancel, &QToolButton::clicked, this, &QDialog::reject);

  Load();
  lists_.at(1021)->setFocus();
}

void SettingsDialog::Load() {
  const SettingsForm form = LoadSettingsForm(places_.settings_path, places_.code_page);
  for (size_t i = 0; i < kSettingsFieldCount; ++i) {
    const SettingsField& field = kSettingsFields[i];
    if (field.is_list) {
      lists_.at(field.control)->setText(Q(form.values[i]));
      lists_.at(field.control)->setCursorPosition(0);
    } else {
      flags_.at(field.control)->setChecked(form.Flag(i));
    }
  }
  send_to_->setChecked(SendToExists(places_.desktop));
}

void SettingsDialog::Save() {
  SettingsForm form;
  for (size_t i = 0; i < kSettingsFieldCount; ++i) {
    const SettingsField& field = kSettingsFields[i];
    if (field.is_list) {
      form.values[i] = lists_.at(field.control)->text().toStdString();
    } else {
      form.SetFlag(i, flags_.at(field.control)->isChecked());
    }
  }
  const DesktopEntriesOutcome entries = ApplyDesktopEntries(
      places_.desktop, places_.program, form.Flag(kLauncherField), send_to_->isChecked());
  if (entries.launcher_created) desktop_.MarkTrusted(Q(places_.desktop.LauncherPath()));
  // The setting records the launcher as it really is now.
  form.SetFlag(kLauncherField, entries.launcher_exists);
  flags_.at(1033)->setChecked(entries.launcher_exists);
  send_to_->setChecked(SendToExists(places_.desktop));

  std::string error;
  const bool saved = SaveSettingsForm(places_.settings_path, form, places_.code_page, error);
  if (saved) {
    dialogs_.Message(this, MessageIcon::Information, QString::fromUtf8(kCaption),
                     QStringLiteral("参数设置保存成功！"));
  } else {
    // The reason on a second line, as a failed save of the results has it.
    dialogs_.Message(
        this, MessageIcon::Stop, QString::fromUtf8(kCaption),
        QStringLiteral("参数设置保存失败！\n") + Q(NameToUtf8(error, places_.code_page)));
  }
  if (!entries.failures.empty()) {
    QStringList lines;
    for (const std::string& failure : entries.failures) lines << Q(failure);
    dialogs_.Message(this, MessageIcon::Warning, QString::fromUtf8(kCaption),
                     lines.join(QLatin1Char('\n')));
  }
  if (saved) accept();
}

}  // namespace tv
