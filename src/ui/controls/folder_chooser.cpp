#include "ui/controls/folder_chooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>

#include "platform/text.h"
#include "ui/dialogs.h"

namespace tv {

namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsFolder(const QString& path) {
  return !path.isEmpty() && QFileInfo(path).isDir();
}

// The history's section of a QSettings INI file.
class SettingsStore : public HistoryStore {
 public:
  explicit SettingsStore(QSettings& settings) : settings_(settings) {}
  std::string Read(const std::string& key) const override {
    const QVariant value = settings_.value(Key(key));
    // An unquoted value with commas, written by another tool, reads as a list.
    if (value.metaType().id() == QMetaType::QStringList) {
      return value.toStringList().join(QLatin1Char(',')).toStdString();
    }
    return value.toString().toStdString();
  }
  void Write(const std::string& key, const std::string& value) override {
    settings_.setValue(Key(key), Q(value));
  }
  void Remove(const std::string& key) override { settings_.remove(Key(key)); }

 private:
  static QString Key(const std::string& key) {
    return QString::fromLatin1(FolderHistory::kSection.data(),
                               static_cast<qsizetype>(FolderHistory::kSection.size())) +
           QLatin1Char('/') + Q(key);
  }
  QSettings& settings_;
};

}  // namespace

QString FolderChooserDialog::DefaultHistoryFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/tallyvane/folder-history.ini");
}

FolderChooserDialog::FolderChooserDialog(QWidget* parent, Dialogs& dialogs, const QString& title,
                                         const QString& initial_folder, const QString& history_file)
    : QFileDialog(parent, title, initial_folder),
      dialogs_(dialogs),
      settings_(std::make_unique<QSettings>(
          history_file.isEmpty() ? DefaultHistoryFile() : history_file, QSettings::IniFormat)) {
  // Qt's own dialog, so that the history row can be added to it.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::Directory);
  setOption(QFileDialog::ShowDirsOnly);

  // The file-name and file-type rows give way to the history row.
  for (const char* name : {"fileNameLabel", "fileNameEdit", "fileTypeLabel", "fileTypeCombo"}) {
    if (auto* widget = findChild<QWidget*>(QString::fromLatin1(name))) widget->hide();
  }
  auto* label = new QLabel(QStringLiteral("Folder &name:"), this);
  label->setObjectName(QStringLiteral("1001"));
  combo_ = new QComboBox(this);
  combo_->setObjectName(QStringLiteral("1002"));
  combo_->setEditable(true);
  combo_->setInsertPolicy(QComboBox::NoInsert);
  combo_->setMaxVisibleItems(FolderHistory::kVisibleItems);
  combo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo_->setMinimumContentsLength(40);
  combo_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  label->setBuddy(combo_);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("1003"));
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(label, 2, 0);
    grid->addWidget(combo_, 2, 1);
  }
  if (auto* box = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
    // An accepting button of the box reaches accept(), which decides. The
    // box shows its buttons again when one is added: hide "Choose" after.
    box->addButton(ok_, QDialogButtonBox::AcceptRole);
    if (QPushButton* open = box->button(QDialogButtonBox::Open)) open->hide();
  }
  ok_->setDefault(true);
  ok_->setAutoDefault(true);

  connect(combo_, &QComboBox::activated, this, &FolderChooserDialog::OnItemPicked);
  // The drop-down follows the folder picked or entered in the list.
  connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) {
    if (IsFolder(path)) combo_->setEditText(QDir::cleanPath(path));
  });
  connect(this, &QFileDialog::directoryEntered, this, [this](const QString& path) {
    if (IsFolder(path)) combo_->setEditText(QDir::cleanPath(path));
  });
  resize(sizeHint().expandedTo(QSize(760, 480)));
  // Room in the side bar for the names of the places it lists.
  if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"))) {
    splitter->setSizes({170, width() - 170});
  }
  LoadHistory();
  combo_->setFocus();
}

FolderChooserDialog::~FolderChooserDialog() = default;

void FolderChooserDialog::LoadHistory() {
  const SettingsStore store(*settings_);
  history_.Load(store, [](const std::string& path) { return IsFolder(Q(path)); });
  FillCombo();
  const QString last = Q(history_.LastText());
  if (last.isEmpty()) return;
  const int index = history_.IndexOf(history_.LastText());
  if (index >= 0) {
    combo_->setCurrentIndex(index);
  } else {
    combo_->setEditText(last);
  }
}

void FolderChooserDialog::FillCombo() {
  combo_->clear();
  for (const std::string& item : history_.Items()) combo_->addItem(Q(item));
}

void FolderChooserDialog::AddToHistory(const QString& text) {
  if (!history_.Add(text.toStdString())) return;
  FillCombo();
  combo_->setCurrentIndex(0);
}

void FolderChooserDialog::SaveHistory() {
  SettingsStore store(*settings_);
  history_.Save(store, combo_->currentText().toStdString());
  FillCombo();
  if (!history_.Items().empty() && history_.IndexOf(history_.LastText()) == 0) {
    combo_->setCurrentIndex(0);
  }
  settings_->sync();
}

void FolderChooserDialog::OnItemPicked(int index) {
  const QString text = combo_->itemText(index);
  if (IsFolder(text)) setDirectory(text);
}

void FolderChooserDialog::accept() {
  const std::string typed = combo_->currentText().toStdString();
  const QString text = Q(TrimBlanks(typed));
  // A relative text names a folder below the one the list shows.
  const QString path =
      text.isEmpty() ? QString()
                     : QDir::cleanPath(QDir(directory().absolutePath()).absoluteFilePath(text));
  if (!IsFolder(path)) {
    dialogs_.Message(this, MessageIcon::None, QStringLiteral("Tallyvane"),
                     QStringLiteral("The folder '%1' isn't accessible.").arg(text));
    return;
  }
  combo_->setEditText(path);
  SaveHistory();
  chosen_ = path;
  QDialog::accept();
}

}  // namespace tv
