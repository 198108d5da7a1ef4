#pragma once

#include "report/ClinicalSummary.h"

class QTextCursor;

namespace esf {

// The summary as the report holds it: a bold title, then one paragraph a row with the label,
// the value and the flag at tab stops, the header in bold and the flags in bold red. Tab-stop
// rows are what RichEdit-era editors keep of a table, so the report reads the same anywhere.
void insertSummaryTable(QTextCursor& cursor, const QList<SummaryRow>& rows);

} // namespace esf
