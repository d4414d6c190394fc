#include "ui/properties_dialog.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

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

QString TimeText(const QDateTime& t) {
  return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-");
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
  const QFileInfo info(file.path);
  setWindowTitle(info.fileName() + QStringLiteral(" 属性"));

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight);
  auto add = [](QFormLayout* f, const QString& label, const QString& text) {
    QLabel* value = ValueLabel(text);
    value->setObjectName(label);
    f->addRow(label, value);
  };
  add(form, QStringLiteral("名称:"), info.fileName());
  add(form, QStringLiteral("位置:"), info.absolutePath());
  struct stat st {};
  if (::stat(QFile::encodeName(file.path).constData(), &st) != 0) {
    add(form, QStringLiteral("大小:"), QStringLiteral("文件不存在或无法读取"));
  } else {
    add(form, QStringLiteral("大小:"), SizeText(static_cast<qint64>(st.st_size)));
    add(form, QStringLiteral("修改时间:"), TimeText(info.lastModified()));
    add(form, QStringLiteral("访问时间:"), TimeText(info.lastRead()));
    add(form, QStringLiteral("所有者:"), info.owner() + QLatin1Char(':') + info.group());
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
