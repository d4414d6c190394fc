// This process's memory as the kernel counts it (/proc/self/status).
#pragma once

#include <QFile>
#include <cstring>

namespace tv::test {

/// The figure `key` ("VmRSS:", or "VmHWM:" for the peak) in kB; 0 when unreadable.
inline qint64 StatusKb(const char* key) {
  QFile status(QStringLiteral("/proc/self/status"));
  const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
  const qsizetype at = text.indexOf(key) + qsizetype(std::strlen(key));
  return text.mid(at, text.indexOf('\n', at) - at).trimmed().split(' ')[0].toLongLong();
}

/// Restarts the peak from the present figure; false when the kernel will not.
inline bool RestartPeak() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

}  // namespace tv::test
