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
    // else. False with a reason when the file cannot be written.
    bool WriteLog(const QString& path, QString* error = nullptr) const;

    // Reads a saved log. False with a reason when it cannot be read.
    static bool ReadLog(const QString& path, QString& logText, QString* error = nullptr);

signals:
    void TitleChanged();

private:
    QString m_strPathName;
};
