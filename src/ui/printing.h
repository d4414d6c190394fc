// Printing the results list: the print dialog, then the table laid out on
// the printer or PDF file chosen there.
#pragma once

#include <QString>

#include "reports/print_layout.h"
#include "ui/dialogs.h"

class QWidget;

namespace tv {

/// Checks a PDF file that a print would write before anything opens it, as
/// the report writers check theirs: a folder, FIFO, device or socket is
/// refused, and the message saying why comes back; otherwise `file` becomes
/// the file its links lead to, and the answer is empty.
QString CheckPdfTarget(QString& file);

/// Shows the print dialog through `dialogs` (one copy, pages 1 to 1) and
/// prints every page of `table` on the printer chosen, whatever page range
/// was asked for. The warning that the table does not fit has `title` as
/// caption; a print that cannot start or ends with a device error gives an
/// error message. True when the document was printed.
bool PrintResults(QWidget* parent, Dialogs& dialogs, const PrintTable& table, CodePage cp,
                  const QString& title);

}  // namespace tv
