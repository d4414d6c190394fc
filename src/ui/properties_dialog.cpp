#include "ui/properties_dialog.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include "engine/file_types.h"
#include "reports/result_texts.h"

namespace tv {

namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString SizeText(qint64 bytes) {
  const QString exact = QLocale::c().toString(bytes) + QStringLiteral(" 字节");
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  int unit = -1;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  if (unit < 0) return exact;
  return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(kUnits[unit]) +
         QStringLiteral(" (") + exact + QLatin1Char(')');
}

QString TimeText(const struct timespec& t) {
  const QDateTime time =
      QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
  return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A user or group by name, else by number.
QString OwnerText(const struct stat& st) {
  const passwd* user = ::getpwuid(st.st_uid);
  const group* grp = ::getgrgid(st.st_gid);
  return (user != nullptr ? QString::fromLocal8Bit(user->pw_name) : QString::number(st.st_uid)) +
         QLatin1Char(':') +
         (grp != nullptr ? QString::fromLocal8Bit(grp->gr_name) : QString::number(st.st_gid));
}

QLabel* ValueLabel(const QString& text) {
  auto* label = new QLabel(text);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

QString PermissionText(unsigned mode) {
  static constexpr char kLetters[] = "rwxrwxrwx";
  QString text;
  for (int bit = 0; bit < 9; ++bit) {
    text += (mode & (0400u >> bit)) != 0 ? QLatin1Char(kLetters[bit]) : QLatin1Char('-');
  }
  return text + QStringLiteral(" (%1)").arg(mode & 07777u, 4, 8, QLatin1Char('0'));
}

PropertiesDialog::PropertiesDialog(const SourceFile& file, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("properties"));
  setAttribute(Qt::WA_DeleteOnClose);
  // The names are shown as text; the file is found by its own bytes.
  const QString name = Q(NameToUtf8(GetFileNamePart(file.path), file.code_page));
  std::string folder(GetDirectoryPart(file.path));
  if (folder.size() > 1) folder.pop_back();
  setWindowTitle(name + QStringLiteral(" 属性"));

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight);
  auto add = [](QFormLayout* f, const QString& label, const QString& text) {
    QLabel* value = ValueLabel(text);
    value->setObjectName(label);
    f->addRow(label, value);
  };
  add(form, QStringLiteral("名称:"), name);
  add(form, QStringLiteral("位置:"), Q(NameToUtf8(folder, file.code_page)));
  struct stat st {};
  if (::stat(file.path.c_str(), &st) != 0) {
    add(form, QStringLiteral("大小:"), QStringLiteral("文件不存在或无法读取"));
  } else {
    add(form, QStringLiteral("大小:"), SizeText(static_cast<qint64>(st.st_size)));
    add(form, QStringLiteral("修改时间:"), TimeText(st.st_mtim));
    add(form, QStringLiteral("访问时间:"), TimeText(st.st_atim));
    add(form, QStringLiteral("所有者:"), OwnerText(st));
    add(form, QStringLiteral("权限:"), PermissionText(static_cast<unsigned>(st.st_mode)));
  }
  layout->addLayout(form);

  auto* counts = new QGroupBox(QStringLiteral("统计结果"), this);
  auto* counts_form = new QFormLayout(counts);
  counts_form->setLabelAlignment(Qt::AlignRight);
  const std::vector<ColumnHeader> headers = ParseColumnSpec(kColumnSpec);
  for (int column = kLines; column <= kRatio; ++column) {
    add(counts_form, Q(headers[static_cast<size_t>(column)].text).trimmed() + QLatin1Char(':'),
        Q(file.row[static_cast<size_t>(column)]));
  }
  layout->addWidget(counts);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  layout->addWidget(buttons);
  setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 40);
}

QString PropertiesDialog::Value(const QString& label) const {
  const auto* value = findChild<QLabel*>(label);
  return value == nullptr ? QString() : value->text();
}

}  // namespace tv
