#pragma once
// What the view keeps in the document: the log's text while the log pane is
// hidden, and the title it shows in the main window. The application's
// document is one; the view needs no more of it.
#include <QString>

class CLogDocument {
public:
    // The text of the file the user opened, held whole: the limits that keep
    // the log's memory bounded never cut it, only New and Open replace it.
    // Lines end with CR LF, the last one too. While the log pane shows, its
    // last part stands in the log edit (where the user may change it) and is
    // copied back when the pane is left or the log is saved.
    QString m_strOpened;
    // What was logged (and typed) since, while the log pane is hidden; lines
    // end with CR LF. Bounded by the log's limits.
    QString m_strLog;

    // "Untitled" or the file's name.
    virtual QString GetTitle() const = 0;

protected:
    ~CLogDocument() = default;
};
