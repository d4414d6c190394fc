// The rows of a table file under tests/data for the widget tests: one row a
// line, its fields separated by tabs; empty lines and lines starting with
// "#" are notes.
#pragma once

#include <QFile>
#include <QList>
#include <QStringList>
#include <QtGlobal>

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

}  // namespace tv::test
