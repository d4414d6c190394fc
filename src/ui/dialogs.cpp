#include "ui/dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTreeView>

#include "runs/path_resolver.h"
#include "ui/controls/folder_chooser.h"
#include "ui/folder_tree_dialog.h"

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
