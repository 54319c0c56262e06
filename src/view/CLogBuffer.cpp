#include "view/CLogBuffer.h"

#include "view/DumpLine.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

CLogBuffer::CLogBuffer(QTextDocument* doc)
    : m_pDoc(doc)
{
}

CLogBuffer::Cut CLogBuffer::PlanCut(int blocks, int n)
{
    // Each line, one at a time, would first drop the oldest kDroppedLines
    // whenever the edit holds more than kMaxShownLines lines.
    Cut cut;
    int keptEditLines = blocks - 1; // whole lines before the last one
    int batchKept = 0;
    for (int i = 0; i < n; ++i) {
        if (blocks > DumpLine::kMaxShownLines) {
            int drop = DumpLine::kDroppedLines;
            const int fromEdit = qMin(drop, keptEditLines);
            cut.fromEdit += fromEdit;
            keptEditLines -= fromEdit;
            drop -= fromEdit;
            const int fromBatch = qMin(drop, batchKept);
            cut.fromBatch += fromBatch;
            batchKept -= fromBatch;
            blocks -= fromEdit + fromBatch;
        }
        ++batchKept;
        ++blocks;
    }
    return cut;
}

void CLogBuffer::RemoveFirstBlocks(int count)
{
    QTextCursor c(m_pDoc);
    c.setPosition(m_pDoc->findBlockByNumber(count).position(), QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

int CLogBuffer::Flush()
{
    QStringList lines;
    lines.swap(m_pending);
    const Cut cut = PlanCut(m_pDoc->blockCount(), int(lines.size()));

    m_pDoc->setUndoRedoEnabled(false);
    if (cut.fromEdit > 0)
        RemoveFirstBlocks(cut.fromEdit);
    QString text;
    for (qsizetype i = cut.fromBatch; i < lines.size(); ++i)
        text += lines[i];
    // Room is made by the oldest lines rather than by refusing the newest.
    if (text.size() > kEditLimit)
        text = text.right(kEditLimit).section(QLatin1Char('\n'), 1);
    while (m_pDoc->characterCount() + text.size() > kEditLimit && m_pDoc->blockCount() > 1) {
        QTextCursor c(m_pDoc);
        c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    QTextCursor c(m_pDoc->lastBlock());
    c.insertText(text);
    m_pDoc->setUndoRedoEnabled(true);
    return c.position();
}

void CLogBuffer::Trim()
{
    if (m_pDoc->blockCount() <= DumpLine::kMaxShownLines)
        return;
    m_pDoc->setUndoRedoEnabled(false);
    RemoveFirstBlocks(DumpLine::kDroppedLines);
    m_pDoc->setUndoRedoEnabled(true);
}

void CLogBuffer::AppendHidden(QString& log, const QString& line)
{
    DumpLine::TrimHiddenLog(log);
    log += line;
}
