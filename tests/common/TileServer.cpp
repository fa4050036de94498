#include "tests/common/TileServer.h"

#include "tests/common/TestSupport.h"

#include <QColor>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <numbers>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int TILESERVER_BORDER = 2;    // samples this close to a block's edge are blended
constexpr int TILESERVER_LEVELS = 2;    // colour levels a sample may be off (scaling)
constexpr int TILESERVER_ROWS = 13;     // the sampling grid
constexpr int TILESERVER_COLUMNS = 11;

// The colour of a block of the server's tiles, as tile_server.py paints it.
QRgb TileColour(int nZoom, int64_t x, int64_t y, int bx, int by)
{
    return qRgb(int((x * 37 + bx * 29 + nZoom) % 256), int((y * 53 + by * 31) % 256),
                int((bx * 7 + by * 11 + x + y) % 256));
}

bool NearBlockEdge(double d)
{
    const double dIn = std::fmod(d, TILESERVER_BLOCK);
    return dIn < TILESERVER_BORDER || dIn > TILESERVER_BLOCK - TILESERVER_BORDER;
}

bool SameColour(QRgb got, QRgb want)
{
    return std::abs(qRed(got) - qRed(want)) <= TILESERVER_LEVELS && std::abs(qGreen(got) - qGreen(want)) <= TILESERVER_LEVELS
           && std::abs(qBlue(got) - qBlue(want)) <= TILESERVER_LEVELS;
}

}

CTileServer::CTileServer(const QString& strLog)
    : m_strLog(strLog)
{
    m_process.start(QStringLiteral("python3"), {QStringLiteral(VELTRIP_SOURCE_DIR "/tests/common/tile_server.py"), strLog});
    if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
        m_nPort = m_process.readLine().trimmed().toInt();
}

CTileServer::~CTileServer()
{
    Stop();
}

void CTileServer::Stop()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString CTileServer::Url() const
{
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_nPort);
}

bool CTileServer::SetMode(const char* szMode) const
{
    const int hSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(m_nPort));
    const QByteArray request = QByteArray("GET /_mode/") + szMode + " HTTP/1.0\r\n\r\n";
    char reply[256] = {};
    const bool bOk = ::connect(hSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
                     && ::write(hSocket, request.constData(), size_t(request.size())) == request.size()
                     && ::read(hSocket, reply, sizeof reply - 1) > 0;
    ::close(hSocket);
    return bOk && QByteArray(reply).contains(" 200 ");
}

std::vector<QJsonObject> CTileServer::Requests() const
{
    std::vector<QJsonObject> requests;
    for (const QByteArray& line : ReadAll(m_strLog).split('\n'))
        if (!line.isEmpty())
            requests.push_back(QJsonDocument::fromJson(line).object());
    return requests;
}

double WorldX(double dLon, int nZoom)
{
    return (dLon + 180.0) / 360.0 * std::ldexp(TILESERVER_TILE, nZoom);
}

double WorldY(double dLat, int nZoom)
{
    const double dPhi = dLat * std::numbers::pi / 180.0;
    return (1.0 - std::log(std::tan(dPhi) + 1.0 / std::cos(dPhi)) / std::numbers::pi) / 2.0
           * std::ldexp(TILESERVER_TILE, nZoom);
}

CTileComparison CompareWithServerTiles(const QImage& sheet, double dLonMin, double dLonMax, double dLatMin,
                                       double dLatMax, int nZoom)
{
    CTileComparison comparison;
    const int nWidth = sheet.width();
    const int nHeight = sheet.height();
    for (int r = 5; r < nHeight; r += std::max(1, nHeight / TILESERVER_ROWS)) {
        for (int c = 3; c < nWidth; c += std::max(1, nWidth / TILESERVER_COLUMNS)) {
            const double x = WorldX(dLonMin + (c + 0.5) * (dLonMax - dLonMin) / nWidth, nZoom);
            const double y = WorldY(dLatMax - (r + 0.5) * (dLatMax - dLatMin) / nHeight, nZoom);
            const int64_t tx = int64_t(std::floor(x / TILESERVER_TILE));
            const int64_t ty = int64_t(std::floor(y / TILESERVER_TILE));
            const double px = x - double(tx * TILESERVER_TILE);
            const double py = y - double(ty * TILESERVER_TILE);
            if (NearBlockEdge(px) || NearBlockEdge(py))
                continue;
            const QRgb want = TileColour(nZoom, tx, ty, int(px) / TILESERVER_BLOCK, int(py) / TILESERVER_BLOCK);
            const QRgb got = sheet.pixel(c, r);
            ++comparison.m_nCompared;
            if (SameColour(got, want))
                continue;
            if (comparison.m_nWrong++ == 0)
                comparison.m_strFirstWrong = QStringLiteral("%1,%2: got %3, the tile %4")
                                                 .arg(c).arg(r).arg(QColor(got).name(), QColor(want).name());
        }
    }
    return comparison;
}
