#pragma once
// What the view keeps in the document: the log's text while the log pane is
// hidden, and the title it shows in the main window. The application's
// document is one; the view needs no more of it.
#include <QString>

class CLogDocument {
public:
    // The log while the log pane is hidden; lines end with CR LF.
    QString m_strLog;

    // "Untitled" or the file's name.
    virtual QString GetTitle() const = 0;

protected:
    ~CLogDocument() = default;
};
