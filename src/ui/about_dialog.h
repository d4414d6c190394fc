// The About box: the program's name, its usage text in a read-only box that
// only scrolls, and one button. Esc and the right mouse button do nothing.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace tv {

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  /// The usage text shown in the box (its lines joined by "\n").
  static QString UsageText();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SwallowRightButton(QWidget* widget);

  QPlainTextEdit* text_ = nullptr;  // 1000
};

}  // namespace tv
