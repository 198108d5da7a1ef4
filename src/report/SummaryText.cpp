#include "report/SummaryText.h"

#include <QTextCursor>

namespace esf {

void insertSummaryTable(QTextCursor& cursor, const QList<SummaryRow>& rows)
{
    QTextBlockFormat row;
    row.setTabPositions(
        {QTextOption::Tab(340, QTextOption::LeftTab), QTextOption::Tab(600, QTextOption::LeftTab)});
    QTextCharFormat plain = cursor.charFormat();
    plain.setFontWeight(QFont::Normal);
    plain.setFontItalic(false);
    plain.setFontUnderline(false);
    plain.clearForeground();
    QTextCharFormat bold = plain;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat flag = bold;
    flag.setForeground(QColor(0xC0, 0, 0));

    cursor.beginEditBlock();
    if (cursor.positionInBlock() > 0)
        cursor.insertBlock();
    cursor.setBlockFormat(row);
    cursor.insertText(QStringLiteral("Resumen clínico"), bold);
    cursor.insertBlock(row);
    cursor.insertText(QStringLiteral("Dato\tValor\tAlerta"), bold);
    for (const SummaryRow& r : rows) {
        cursor.insertBlock(row);
        cursor.insertText(r.label + u'\t' + r.value + u'\t', plain);
        if (!r.flag.isEmpty())
            cursor.insertText(r.flag, flag);
    }
    cursor.insertBlock(QTextBlockFormat());
    cursor.setCharFormat(plain);
    cursor.endEditBlock();
}

} // namespace esf
