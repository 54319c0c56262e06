#pragma once
// The shown log's text and the lines waiting to join it. A flood of input must
// not cost one edit insertion (and layout) per message, so lines wait and go
// in together, trimmed by the same rule as one at a time: past kMaxShownLines
// lines the oldest kDroppedLines go, and the edit never holds more than
// kEditLimit characters. Logging is not an edit the user can undo.
//
// It works on the edit's document only, so it runs and is checked without a
// window; the view schedules the flushes and moves the edit's cursor.
#include <QString>
#include <QStringList>

class QTextDocument;

class CLogBuffer {
public:
    // The edit control's text limit.
    static constexpr int kEditLimit = 65520;

    explicit CLogBuffer(QTextDocument* doc);

    // Queues one line in the edit's form (LF).
    void Queue(const QString& editLine) { m_pending.append(editLine); }
    bool HasPending() const { return !m_pending.isEmpty(); }
    // Forgets the waiting lines (the log was replaced or emptied).
    void DropPending() { m_pending.clear(); }

    // Puts the waiting lines in, in front of whatever stands on the last line
    // (text the user is typing). Returns the position after the last one put in.
    int Flush();
    // Drops the oldest kDroppedLines when the log holds more than
    // kMaxShownLines lines (the log pane coming into view).
    void Trim();

    // The hidden log, kept as the document's text (CR LF): bounded before
    // each new line, without ever splitting a line.
    static void AppendHidden(QString& log, const QString& line);

private:
    // How many of the edit's lines and of the batch's go when n lines come in
    // one at a time onto an edit of `blocks` blocks.
    struct Cut {
        int fromEdit = 0;
        int fromBatch = 0;
    };
    static Cut PlanCut(int blocks, int n);
    void RemoveFirstBlocks(int count);

    QTextDocument* m_pDoc;
    QStringList m_pending; // oldest first
};
