#include "ui/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tv {

namespace {

// The few texts of Qt's file dialogs that its Chinese translation lacks:
// the type column's words for a folder, a drive, a link and anything else.
class MissingQtTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char*, int) const override {
    struct Text {
      const char* source;
      const char* chinese;
    };
    static constexpr Text kTexts[] = {
        {"Drive", "驱动器"}, {"Folder", "文件夹"}, {"Shortcut", "快捷方式"}, {"Unknown", "未知"}};
    if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
    for (const Text& text : kTexts) {
      if (qstrcmp(source, text.source) == 0) return QString::fromUtf8(text.chinese);
    }
    return {};
  }
};

}  // namespace

bool InstallQtTranslation(const QString& folder) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  const QString where =
      folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), where) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(new MissingQtTexts(QCoreApplication::instance()));
  return true;
}

}  // namespace tv
