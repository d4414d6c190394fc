// The built-in properties of a counted file, shown when no file manager
// offers its own: where the file is, its size, times, owner and permissions,
// and the counts of its row.
#pragma once

#include <QDialog>

#include "ui/desktop.h"

namespace tv {

class PropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  /// A non-modal dialog that deletes itself when closed.
  explicit PropertiesDialog(const SourceFile& file, QWidget* parent = nullptr);

  /// The text shown for `label` ("大小:", "文件行数:", ...), or "" when there is none.
  QString Value(const QString& label) const;
};

/// "rw-r--r-- (0644)" for the permission bits of a mode.
QString PermissionText(unsigned mode);

}  // namespace tv
