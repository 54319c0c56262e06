#pragma once
// The shown log: the log edit's text, the lines waiting to join it, and where
// the opened file's part of it ends.
//
// The edit holds two parts. First the last lines of the file the user opened
// (as many as kShownOpenedLimit allows; the rest stays in the document, kept
// and saved, only not shown). Then the live log: what was logged and typed
// since. Only the live log is bounded: past kMaxShownLines lines the oldest
// kDroppedLines go, and the edit never holds more than kEditLimit characters.
// When the live log alone cannot make room, the opened file's first shown
// lines leave the edit for the document, never the bin.
//
// A flood of input must not cost one edit insertion (and layout) per message,
// so lines wait and go in together, trimmed by the same rule as one at a time.
// Every cut is one removal found by walking only the lines that go, so its cost
// follows what is removed, not the size of the log. Logging is not an edit the
// user can undo.
//
// It works on the edit's document only, so it runs and is checked without a
// window; the view schedules the flushes and moves the edit's cursor.
#include <QString>
#include <QStringList>
#include <QTextCursor>

class CLogDocument;
class QTextDocument;

class CLogBuffer {
public:
    // The edit control's text limit.
    static constexpr int kEditLimit = 65520;
    // How much of an opened file the edit shows at most (its last whole
    // lines), leaving the rest of the edit to the live log.
    static constexpr int kShownOpenedLimit = 32768;

    CLogBuffer(QTextDocument* edit, CLogDocument* doc);

    // Fills the edit from the document: the opened file's last lines, then the
    // live log (the log pane coming into view, or a file opened while it shows).
    void Show();
    // Copies the edit's text back into the document: its opened part behind
    // the opened lines the edit does not show, the rest as the live log.
    void Store();
    // The document's opened text was replaced: none of it stands in the edit.
    void ForgetOpened();
    // Lines of the opened file that the edit does not show.
    qsizetype HiddenOpenedLines() const { return m_nHiddenLines; }

    // Queues one line in the edit's form (LF).
    void Queue(const QString& editLine) { m_pending.append(editLine); }
    bool HasPending() const { return !m_pending.isEmpty(); }
    // Forgets the waiting lines (the log was replaced or emptied).
    void DropPending() { m_pending.clear(); }

    // Puts the waiting lines in, after the opened part and in front of
    // whatever stands on the last line (text the user is typing). Returns the
    // position after the last one put in.
    int Flush();
    // Drops the oldest kDroppedLines of the live log when it holds more than
    // kMaxShownLines lines (the log pane coming into view).
    void Trim();

    // The hidden log, kept as the document's text (CR LF): bounded before
    // each new line, without ever splitting a line.
    static void AppendHidden(QString& log, const QString& line);

private:
    // How many of the edit's lines and of the batch's go when n lines come in
    // one at a time onto a live log of `blocks` blocks.
    struct Cut {
        int fromEdit = 0;
        int fromBatch = 0;
    };
    static Cut PlanCut(int blocks, int n);
    int LiveStart() const { return m_openedEnd.position(); }
    int LiveBlocks() const;
    void RemoveLiveLines(int count);
    // Frees room for `chars` more characters: the oldest live lines first,
    // then the opened file's first shown lines, which the document keeps.
    void MakeRoom(int chars);
    void HideOpenedUpTo(int position);
    void Remove(int from, int to);

    QTextDocument* m_pEdit;
    CLogDocument* m_pDoc;
    // At the first character after the opened part; text put in right there
    // (logged lines, typing at the start of the live log) is live.
    QTextCursor m_openedEnd;
    qsizetype m_nHiddenChars = 0; // of m_strOpened, not in the edit
    qsizetype m_nHiddenLines = 0;
    QStringList m_pending; // oldest first
};
