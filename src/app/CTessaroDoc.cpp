#include "app/CTessaroDoc.h"

#include "view/DumpLine.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// More than the log edit can ever hold; a larger file is not a log of ours.
constexpr qint64 kMaxLogFileBytes = 16 * 1024 * 1024;
} // namespace

CTessaroDoc::CTessaroDoc(QObject* parent)
    : QObject(parent)
{
}

QString CTessaroDoc::GetTitle() const
{
    return m_strPathName.isEmpty() ? QStringLiteral("Untitled")
                                   : QFileInfo(m_strPathName).fileName();
}

void CTessaroDoc::SetPathName(const QString& path)
{
    m_strPathName = path;
    emit TitleChanged();
}

void CTessaroDoc::OnNewDocument()
{
    m_strLog.clear();
    SetPathName(QString());
}

bool CTessaroDoc::WriteLog(const QString& path, QString* error) const
{
    // Written to a temporary file and renamed, so a failed save never leaves
    // half a log where a good one was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = DumpLine::ToLogText(m_strLog).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool CTessaroDoc::ReadLog(const QString& path, QString& logText, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.size() > kMaxLogFileBytes) {
        if (error)
            *error = QStringLiteral("The file is too large to be a Kelvora log.");
        return false;
    }
    const QByteArray bytes = file.readAll();
    // NUL characters would end the text early in the edit; drop them.
    QString text = QString::fromUtf8(bytes);
    text.remove(QChar(0));
    logText = DumpLine::ToLogText(text);
    return true;
}
