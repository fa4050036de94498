#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>

QString CorpusDir()
{
    return QDir::cleanPath(QStringLiteral(VELTRIP_SHARED_DIR "/corpus"));
}

bool HaveCorpus()
{
    return QDir(CorpusDir()).exists();
}

CMessageCapture::CMessageCapture()
{
    m_previous = SetMessageHook([this](const QString& strText) { m_messages.append(strText); });
}

CMessageCapture::~CMessageCapture()
{
    SetMessageHook(std::move(m_previous));
}

QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

