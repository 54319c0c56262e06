#include "app/CTessaroDoc.h"

#include "view/DumpLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    m_strOpened.clear();
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
    bool written = true;
    for (const QString* part : {&m_strOpened, &m_strLog}) {
        const QByteArray bytes = DumpLine::ToLogText(*part).toUtf8();
        written = written && file.write(bytes) == bytes.size();
    }
    if (!written || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool CTessaroDoc::ReadLog(const QString& path, QString& logText, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    // Looked at before opening: opening a pipe waits for a writer, and a
    // device such as /dev/zero reports no size and never ends.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("This is not a file that can be opened as a log."));
    if (info.size() > kMaxLogFileBytes)
        return fail(QStringLiteral("The file is too large to be a Kelvora log."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    // Read no more than the limit allows, should it have grown or been
    // swapped for something else since it was looked at.
    if (file.isSequential())
        return fail(QStringLiteral("This is not a file that can be opened as a log."));
    const QByteArray bytes = file.read(kMaxLogFileBytes + 1);
    if (bytes.size() > kMaxLogFileBytes)
        return fail(QStringLiteral("The file is too large to be a Kelvora log."));
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    // NUL characters would end the text early in the edit; drop them.
    QString text = QString::fromUtf8(bytes);
    text.remove(QChar(0));
    logText = DumpLine::ToLogText(text);
    return true;
}

QString CTessaroDoc::FileErrorMessage(const QString& path, const QString& error)
{
    return QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(path), error);
}
