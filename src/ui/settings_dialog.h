// The settings dialog: the user extension lists and the option flags of
// Setup.ini, and the launcher and send-to entries on the desktop. What is
// read and written is the settings form and the desktop entries of the
// core; the dialog binds them to its controls.
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "platform/codepage.h"
#include "shell/desktop_entries.h"

class QCheckBox;
class QLineEdit;

namespace tv {

class Desktop;
class Dialogs;

/// Where the dialog reads and writes, and the program its entries start.
struct SettingsPlaces {
  std::string settings_path;
  CodePage code_page = CodePage::Gbk;
  std::string program;  // the executable's full path
  DesktopPlaces desktop;
};

class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  SettingsDialog(SettingsPlaces places, Dialogs& dialogs, Desktop& desktop,
                 QWidget* parent = nullptr);

  /// "保 存" (1006): makes the desktop entries match their check boxes,
  /// saves the settings, says whether that worked and closes on success.
  void Save();

 private:
  void Load();

  SettingsPlaces places_;
  Dialogs& dialogs_;
  Desktop& desktop_;
  std::map<int, QLineEdit*> lists_;  // by control id
  std::map<int, QCheckBox*> flags_;  // by control id
  QCheckBox* send_to_ = nullptr;     // 1052
};

}  // namespace tv
