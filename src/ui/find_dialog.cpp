#include "ui/find_dialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/text.h"
#include "ui/controls/sort_list.h"
#include "ui/dialog_units.h"
#include "ui/dialogs.h"

namespace tv {

FindDialog::FindDialog(SortListCtrl* list, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), list_(list), dialogs_(dialogs) {
  setObjectName(QStringLiteral("196"));
  setWindowTitle(QStringLiteral("查找文件"));
  const DialogUnits du(font());
  setFixedSize(du.Size(187, 92));

  // The labels get a little room past their rectangles: CJK glyphs are
  // wider than the letters the dialog units are measured on.
  auto* text_label = new QLabel(QStringLiteral("查找内容:"), this);
  text_label->setGeometry(du.Rect(8, 11, 42, 9).adjusted(0, -2, 0, 2));
  text_ = new QLineEdit(this);
  text_->setObjectName(QStringLiteral("1000"));
  text_->setGeometry(du.Rect(52, 8, 127, 13));
  text_label->setBuddy(text_);

  auto* status_label = new QLabel(QStringLiteral("查找状态:"), this);
  status_label->setGeometry(du.Rect(8, 28, 42, 9).adjusted(0, -2, 0, 2));
  status_ = new QLineEdit(this);
  status_->setObjectName(QStringLiteral("1027"));
  status_->setReadOnly(true);
  status_->setFocusPolicy(Qt::ClickFocus);
  status_->setGeometry(du.Rect(52, 25, 127, 13));
  status_->setAccessibleName(status_label->text());

  whole_cell_ = new QCheckBox(QStringLiteral("单元格内容完全匹配"), this);
  whole_cell_->setObjectName(QStringLiteral("1026"));
  whole_cell_->setGeometry(du.Rect(52, 43, 127, 13));

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(du.Rect(7, 60, 173, 1).adjusted(0, -1, 0, 1));

  struct ButtonSpec {
    int id;
    const char* text;
    int x;
    QPushButton** button;
  } buttons[] = {
      {1054, "开始查找", 8, &first_}, {1006, "继续查找", 69, &next_}, {2, "退出", 130, &close_}};
  for (const ButtonSpec& b : buttons) {
    auto* button = new QPushButton(QString::fromUtf8(b.text), this);
    button->setObjectName(QString::number(b.id));
    button->setGeometry(du.Rect(b.x, 70, 48, 14).adjusted(0, -1, 0, 1));
    // Enter presses no button in this dialog.
    button->setAutoDefault(false);
    *b.button = button;
  }
  connect(first_, &QPushButton::clicked, this, &FindDialog::FindFirst);
  connect(next_, &QPushButton::clicked, this, &FindDialog::FindNext);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  text_->setFocus();
}

void FindDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();  // Enter does nothing; Esc closes as in any dialog
    return;
  }
  QDialog::keyPressEvent(event);
}

void FindDialog::SetButtonsEnabled(bool enabled) {
  first_->setEnabled(enabled);
  next_->setEnabled(enabled);
  close_->setEnabled(enabled);
}

void FindDialog::Search(bool next) {
  const std::string typed = text_->text().toStdString();
  const std::string text(TrimSpaces(typed));
  if (text.empty()) {
    dialogs_.Message(this, MessageIcon::Stop, QStringLiteral("Error"),
                     QStringLiteral("请输入查询的内容！"));
    text_->setFocus();
    return;
  }
  if (list_->RowCount() == 0) {
    dialogs_.Message(this, MessageIcon::Information, QStringLiteral("提示"),
                     QStringLiteral("没有找到需要查询的数据！"));
    return;
  }
  QWidget* focused = focusWidget();  // disabling a button moves the focus on
  SetButtonsEnabled(false);
  status_->setText(QStringLiteral("正在查找..."));
  // The search runs without handling events: nothing can change the list
  // or start a run while the rows are read.
  const std::vector<const ResultRow*> rows = list_->RowsInDisplayOrder();
  const bool whole_cell = whole_cell_->isChecked();
  const RowFinder::Result result =
      next ? finder_.FindNext(rows, text, whole_cell) : finder_.FindFirst(rows, text, whole_cell);
  if (result.found) {
    list_->SelectRow(result.row);
    list_->setFocus();  // the list's focus row once the dialog is gone
    status_->setText(QStringLiteral("找到结果"));
  } else {
    status_->setText(QStringLiteral("查询完毕！"));
  }
  SetButtonsEnabled(true);
  if (focused != nullptr) focused->setFocus();
}

}  // namespace tv
