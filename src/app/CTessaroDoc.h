#pragma once
// The document: the text of the MIDI log, saved as it stands.
#include "view/CLogDocument.h"

#include <QObject>
#include <QString>

class CTessaroDoc : public QObject, public CLogDocument {
    Q_OBJECT
public:
    explicit CTessaroDoc(QObject* parent = nullptr);

    QString GetTitle() const override; // "Untitled" or the file's name
    QString GetPathName() const { return m_strPathName; }
    void SetPathName(const QString& path);

    // Empties the log and forgets the file.
    void OnNewDocument();

    // Writes exactly the log's characters (UTF-8, CR LF line ends) and nothing
    // else: the opened file's text, then what was logged since. False with a
    // reason when the file cannot be written.
    bool WriteLog(const QString& path, QString* error = nullptr) const;

    // Reads a saved log. Only a regular file of at most kMaxLogFileBytes is
    // read (its size looked at first): a device or a pipe never ends or never
    // starts. False with a reason when it cannot be read.
    static bool ReadLog(const QString& path, QString& logText, QString* error = nullptr);
    static constexpr qint64 kMaxLogFileBytes = 16 * 1024 * 1024;

    // What the user is told when a file cannot be opened or saved.
    static QString FileErrorMessage(const QString& path, const QString& error);

signals:
    void TitleChanged();

private:
    QString m_strPathName;
};
