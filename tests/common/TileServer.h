#pragma once

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <cstdint>
#include <vector>

// The tile server of the tests (tests/common/tile_server.py) on 127.0.0.1.
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

// The server's tiles are 256 pixels square, blocks of 32 of one colour.
constexpr int TILESERVER_TILE = 256;
constexpr int TILESERVER_BLOCK = 32;

// Where a longitude and a latitude lie in the tile pixels of a zoom (Mercator).
double WorldX(double dLon, int nZoom);
double WorldY(double dLat, int nZoom);

// A sheet's pixels against the server's tiles under it, sampled on a grid
// away from the blocks' edges (blended there).
struct CTileComparison
{
    int m_nCompared = 0;
    int m_nWrong = 0;
    QString m_strFirstWrong;   // "column,row: got #rrggbb, the tile #rrggbb"
};
CTileComparison CompareWithServerTiles(const QImage& sheet, double dLonMin, double dLonMax, double dLatMin,
                                       double dLatMax, int nZoom);
