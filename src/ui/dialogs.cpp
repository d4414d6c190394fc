#include "ui/dialogs.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTimer>
#include <QTreeView>

#include "runs/path_resolver.h"
#include "ui/controls/folder_chooser.h"
#include "ui/folder_tree_dialog.h"
#include "ui/printing.h"

namespace tv {

std::string PathOnDisk(const QString& chosen, CodePage cp) {
  if (chosen.isEmpty()) return {};
  return ResolveShownPath(chosen.toStdString(), cp, [](std::string_view name) {
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())))
        .toStdString();
  });
}

void QtDialogs::Message(QWidget* parent, MessageIcon icon, const QString& caption,
                        const QString& text) {
  QMessageBox::Icon qt_icon = QMessageBox::NoIcon;
  if (icon == MessageIcon::Information) qt_icon = QMessageBox::Information;
  if (icon == MessageIcon::Warning) qt_icon = QMessageBox::Warning;
  if (icon == MessageIcon::Stop) qt_icon = QMessageBox::Critical;
  if (icon == MessageIcon::Question) qt_icon = QMessageBox::Question;
  QMessageBox box(qt_icon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

OpenFileAnswer QtDialogs::OpenFiles(QWidget* parent, const OpenFileRequest& request) {
  QFileDialog dialog(parent, request.title, request.initial_folder);
  // Qt's own dialog: the same on every desktop, and it lists what the
  // filters say (a native one may ignore an initial filter).
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog.setNameFilters(request.filters);
  dialog.resize(dialog.sizeHint().expandedTo(QSize(820, 520)));
  if (request.initial_filter >= 0 && request.initial_filter < request.filters.size()) {
    dialog.selectNameFilter(request.filters[request.initial_filter]);
  }
  // Size, type and date columns wide enough for their texts.
  if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    for (int column = 1; column < 4; ++column) {
      tree->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
  OpenFileAnswer answer;
  if (dialog.exec() != QDialog::Accepted) return answer;
  answer.accepted = true;
  answer.paths = dialog.selectedFiles();
  answer.filter =
      std::max(0, static_cast<int>(request.filters.indexOf(dialog.selectedNameFilter())));
  return answer;
}

QString QtDialogs::ChooseFolder(QWidget* parent, const QString& title,
                                const QString& initial_folder) {
  FolderChooserDialog dialog(parent, *this, title, initial_folder);
  return dialog.exec() == QDialog::Accepted ? dialog.ChosenFolder() : QString();
}

bool QtDialogs::Print(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  // The dialog's own check of a PDF file opens it for appending, which waits
  // for ever on a FIFO and turns a dangling link into an empty file. Ours
  // runs first, when OK is clicked: it refuses what no print may write, and
  // puts the file a link leads to in the link's place.
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
  if (buttons != nullptr && file != nullptr) {
    QObject::connect(
        buttons, &QDialogButtonBox::clicked, &dialog, [&, buttons, file](QAbstractButton* b) {
          if (buttons->buttonRole(b) != QDialogButtonBox::AcceptRole || !file->isEnabled()) return;
          QString name = file->text();
          const QString refusal = CheckPdfTarget(name);
          file->setText(name);
          if (refusal.isEmpty()) return;
          buttons->blockSignals(true);  // the click is not taken: the dialog stays
          Message(&dialog, MessageIcon::Stop, QStringLiteral("错误"), refusal);
          QTimer::singleShot(0, buttons, [buttons] { buttons->blockSignals(false); });
        });
  }
  return dialog.exec() == QDialog::Accepted;
}

SaveFileAnswer QtDialogs::SaveFile(QWidget* parent, const SaveFileRequest& request) {
  QFileDialog dialog(parent, request.title, request.initial_folder);
  // Qt's own dialog, as for opening; the caller asks about an existing file
  // itself, after adding the format's extension.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(request.filters);
  dialog.resize(dialog.sizeHint().expandedTo(QSize(820, 520)));
  SaveFileAnswer answer;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return answer;
  answer.accepted = true;
  answer.path = dialog.selectedFiles().constFirst();
  answer.filter =
      std::max(0, static_cast<int>(request.filters.indexOf(dialog.selectedNameFilter())));
  return answer;
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::PickFolders(QWidget* parent, const std::string& settings_path,
                                              CodePage code_page) {
  FolderTreeDialog dialog(settings_path, code_page, *this, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.KeptText();
}

}  // namespace tv
