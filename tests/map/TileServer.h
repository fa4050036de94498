#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <vector>

// The tile server of the tests (tests/map/tile_server.py) on 127.0.0.1.
class CTileServer
{
public:
    explicit CTileServer(const QString& strLog);
    ~CTileServer();
    CTileServer(const CTileServer&) = delete;
    CTileServer& operator=(const CTileServer&) = delete;

    void Stop();

    // http://127.0.0.1:PORT/{z}/{x}/{y}.png
    QString Url() const;

    // Picks how the server answers (see the script).
    bool SetMode(const char* szMode) const;

    // Every tile request so far, with its headers.
    std::vector<QJsonObject> Requests() const;

    int m_nPort = 0;

private:
    QString m_strLog;
    QProcess m_process;
};
