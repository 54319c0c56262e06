#include "view/CLogEdit.h"

#include "view/CLogBuffer.h"

#include <QApplication>
#include <QMessageBox>
#include <QMimeData>

int CLogEdit::PasteRoom() const
{
    const QTextCursor c = textCursor();
    const int selected = c.selectionEnd() - c.selectionStart();
    return qMax(0, CLogBuffer::kEditLimit - (document()->characterCount() - selected));
}

void CLogEdit::insertFromMimeData(const QMimeData* source)
{
    const qsizetype size = source ? source->text().size() : 0;
    const int room = PasteRoom();
    if (size <= room) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QMessageBox::warning(window(), QApplication::applicationName(),
                         QStringLiteral("The text to paste has %L1 characters; the log has room "
                                        "for %L2 more.\nNothing was pasted.")
                             .arg(size)
                             .arg(room));
}
