#include "view/CLogBuffer.h"

#include "view/CLogDocument.h"
#include "view/DumpLine.h"

#include <QStringView>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// The edit's text between two positions, its breaks as LF.
QString EditLines(QString text)
{
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    return text;
}

} // namespace

CLogBuffer::CLogBuffer(QTextDocument* edit, CLogDocument* doc)
    : m_pEdit(edit)
    , m_pDoc(doc)
    , m_openedEnd(edit)
{
    m_openedEnd.setKeepPositionOnInsert(true);
}

void CLogBuffer::Show()
{
    const QString& opened = m_pDoc->m_strOpened;
    m_nHiddenChars = 0;
    if (opened.size() > kShownOpenedLimit) {
        // The last whole lines that fit; one line longer than that shows not at all.
        const qsizetype lf = opened.indexOf(QLatin1Char('\n'), opened.size() - kShownOpenedLimit - 1);
        m_nHiddenChars = lf < 0 ? opened.size() : lf + 1;
    }
    const QStringView hidden = QStringView(opened).left(m_nHiddenChars);
    m_nHiddenLines = hidden.count(QLatin1Char('\n'));
    if (!hidden.isEmpty() && !hidden.endsWith(QLatin1Char('\n')))
        ++m_nHiddenLines;

    const QString shown = DumpLine::ToEditText(opened.mid(m_nHiddenChars));
    m_pEdit->setUndoRedoEnabled(false);
    m_pEdit->setPlainText(shown + DumpLine::ToEditText(m_pDoc->m_strLog));
    m_pEdit->setUndoRedoEnabled(true);
    m_openedEnd.setPosition(int(shown.size()));
}

void CLogBuffer::Store()
{
    // The raw text: the plain text would turn non-breaking spaces into spaces.
    const QString text = EditLines(m_pEdit->toRawText());
    const qsizetype split = qMin<qsizetype>(LiveStart(), text.size());
    QString& opened = m_pDoc->m_strOpened;
    opened.truncate(qMin(m_nHiddenChars, opened.size()));
    opened += DumpLine::ToLogText(text.left(split));
    m_pDoc->m_strLog = DumpLine::ToLogText(text.mid(split));
}

void CLogBuffer::ForgetOpened()
{
    m_nHiddenChars = 0;
    m_nHiddenLines = 0;
    m_openedEnd.setPosition(0);
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

int CLogBuffer::LiveBlocks() const
{
    return m_pEdit->blockCount() - m_pEdit->findBlock(LiveStart()).blockNumber();
}

void CLogBuffer::Remove(int from, int to)
{
    if (to <= from)
        return;
    QTextCursor c(m_pEdit);
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void CLogBuffer::RemoveLiveLines(int count)
{
    const int from = LiveStart();
    const int first = m_pEdit->findBlock(from).blockNumber();
    Remove(from, m_pEdit->findBlockByNumber(first + count).position());
}

void CLogBuffer::HideOpenedUpTo(int position)
{
    QTextCursor c(m_pEdit);
    c.setPosition(position, QTextCursor::KeepAnchor);
    QString& opened = m_pDoc->m_strOpened;
    opened.truncate(qMin(m_nHiddenChars, opened.size()));
    opened += DumpLine::ToLogText(EditLines(c.selectedText()));
    m_nHiddenChars = opened.size();
    m_nHiddenLines += m_pEdit->findBlock(position).blockNumber();
    c.removeSelectedText();
}

void CLogBuffer::MakeRoom(int chars)
{
    int need = m_pEdit->characterCount() + chars - kEditLimit;
    if (need <= 0)
        return;
    // The oldest live lines, whole; typed text on the last line stays.
    const int from = LiveStart();
    const QTextBlock last = m_pEdit->lastBlock();
    QTextBlock b = m_pEdit->findBlock(from);
    int to = from;
    while (need > 0 && b != last) {
        b = b.next();
        need -= b.position() - to;
        to = b.position();
    }
    Remove(from, to);
    if (need <= 0)
        return;
    // Then the opened file's first shown lines move out to the document.
    const int openedEnd = LiveStart();
    b = m_pEdit->begin();
    to = 0;
    while (need > 0 && b.next().isValid() && b.next().position() <= openedEnd) {
        b = b.next();
        need -= b.position() - to;
        to = b.position();
    }
    if (to > 0)
        HideOpenedUpTo(to);
}

int CLogBuffer::Flush()
{
    QStringList lines;
    lines.swap(m_pending);
    const Cut cut = PlanCut(LiveBlocks(), int(lines.size()));

    m_pEdit->setUndoRedoEnabled(false);
    if (cut.fromEdit > 0)
        RemoveLiveLines(cut.fromEdit);
    QString text;
    for (qsizetype i = cut.fromBatch; i < lines.size(); ++i)
        text += lines[i];
    // Room is made by the oldest lines rather than by refusing the newest.
    if (text.size() > kEditLimit)
        text = text.right(kEditLimit).section(QLatin1Char('\n'), 1);
    MakeRoom(int(text.size()));
    QTextCursor c(m_pEdit);
    c.setPosition(qMax(m_pEdit->lastBlock().position(), LiveStart()));
    c.insertText(text);
    m_pEdit->setUndoRedoEnabled(true);
    return c.position();
}

void CLogBuffer::Trim()
{
    if (LiveBlocks() <= DumpLine::kMaxShownLines)
        return;
    m_pEdit->setUndoRedoEnabled(false);
    RemoveLiveLines(DumpLine::kDroppedLines);
    m_pEdit->setUndoRedoEnabled(true);
}

void CLogBuffer::AppendHidden(QString& log, const QString& line)
{
    DumpLine::TrimHiddenLog(log);
    log += line;
}
