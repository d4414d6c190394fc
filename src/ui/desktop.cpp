#include "ui/desktop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "ui/properties_dialog.h"
#include "ui/source_viewer.h"

namespace tv {

namespace {

// A file manager that does not answer within this time is taken as absent.
constexpr int kPropertiesTimeoutMs = 1000;

}  // namespace

QUrl FileUrl(const std::string& path) {
  const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
  return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

bool QtDesktop::OpenWithDefaultProgram(const std::string& path) {
  return QDesktopServices::openUrl(FileUrl(path));
}

void QtDesktop::ViewSource(QWidget* owner, const SourceFile& file) {
  auto* viewer = new SourceViewer(file, owner);
  viewer->show();
}

void QtDesktop::ShowProperties(QWidget* owner, const SourceFile& file) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    ShowPropertiesDialog(owner, file);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"),
      QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItemProperties"));
  call << QStringList{QString::fromLatin1(FileUrl(file.path).toEncoded())} << QString();
  // Asynchronous: a missing or hung file manager never holds up the window.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kPropertiesTimeoutMs), owner);
  QPointer<QWidget> guard(owner);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, guard, file] {
    if (watcher->isError() && guard) ShowPropertiesDialog(guard, file);
    watcher->deleteLater();
  });
}

bool QtDesktop::OpenInBrowser(const QUrl& url) {
  return QDesktopServices::openUrl(url);
}

void QtDesktop::MarkTrusted(const QString& path) {
  // GNOME's desktop asks before it runs a launcher that is not marked
  // trusted; gio sets the mark where it is installed and a session runs.
  const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
  if (gio.isEmpty()) return;
  QProcess::startDetached(gio, {QStringLiteral("set"), path, QStringLiteral("metadata::trusted"),
                                QStringLiteral("true")});
}

QWidget* ShowPropertiesDialog(QWidget* owner, const SourceFile& file) {
  auto* dialog = new PropertiesDialog(file, owner);
  dialog->show();
  return dialog;
}

}  // namespace tv
