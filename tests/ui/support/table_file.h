// Files for the widget tests: the rows of a table file under tests/data
// (one row a line, its fields separated by tabs; empty lines and lines
// starting with "#" are notes), also as the cases of a data-driven test, and
// whole files read and written.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <QTest>
#include <QtGlobal>
#include <string_view>

namespace tv::test {

inline QList<QStringList> ReadTable(const QString& name) {
  QFile file(QStringLiteral(TV_TEST_DATA_DIR "/") + name);
  if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(file.fileName()));
  QList<QStringList> rows;
  for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
    if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
      rows << line.split(QLatin1Char('\t'));
  }
  return rows;
}

/// The rows of the table file `name` as the cases of a data-driven test,
/// each a string list in the column "c".
inline void AddTableCases(const QString& name) {
  QTest::addColumn<QStringList>("c");
  for (const QStringList& row : ReadTable(name)) {
    QTest::newRow(qPrintable(row.join(QLatin1Char(' ')))) << row;
  }
}

/// The bytes of `path`, or "<no file>" when it cannot be read.
inline QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<no file>");
}

/// Writes `bytes` to `path`, creating missing folders; false when it cannot.
inline bool WriteBytes(const QString& path, std::string_view bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) &&
         file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

}  // namespace tv::test
