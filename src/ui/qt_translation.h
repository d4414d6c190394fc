// Qt's own texts (the standard dialogs' labels and buttons) in the window's
// language.
#pragma once

#include <QString>

namespace tv {

/// Installs Qt's Chinese translation (qtbase_zh_CN) from `folder`, by default
/// Qt's own translations folder, on the running application. Without the
/// file it returns false and Qt's texts stay English; nothing is shown.
bool InstallQtTranslation(const QString& folder = QString());

}  // namespace tv
