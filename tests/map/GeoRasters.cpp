#include "tests/map/GeoRasters.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cmath>
#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_srs_api.h>
#include <vector>

namespace {

constexpr double EARTH_RADIUS = 6378137.0;
constexpr double PI = 3.14159265358979323846;

QRgb PaletteColour(int nIndex)
{
    return qRgb((nIndex * 70 + 20) & 255, (nIndex * 90 + 40) & 255, (nIndex * 50 + 60) & 255);
}

int BlockIndex(int x, int y)
{
    return (x / GEORASTER_BLOCK * 7 + y / GEORASTER_BLOCK * 3) % 32;
}

bool WriteText(const QString& strPath, const QString& strText)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(strText.toUtf8()) > 0;
}

QString Wkt(int nEpsg)
{
    OGRSpatialReferenceH hSrs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(hSrs, nEpsg);
    char* pszWkt = nullptr;
    OSRExportToWkt(hSrs, &pszWkt);
    const QString strWkt = QString::fromUtf8(pszWkt);
    CPLFree(pszWkt);
    OSRDestroySpatialReference(hSrs);
    return strWkt;
}

// Degrees and minutes as the .map file writes them.
QString OziAngle(double dDegrees, char chPositive, char chNegative)
{
    const double dAbs = std::abs(dDegrees);
    const int nDegrees = int(dAbs);
    return QStringLiteral("%1, %2,%3").arg(nDegrees).arg((dAbs - nDegrees) * 60, 0, 'f', 6)
        .arg(QChar(dDegrees < 0 ? chNegative : chPositive));
}

bool Transparent(int x, int y, EPixels ePixels)
{
    return ePixels == EPixels::Rgba && BlockIndex(x, y) % 5 == 0;
}

}

QRgb BlockColour(int x, int y, EPixels ePixels)
{
    if (Transparent(x, y, ePixels))
        return qRgb(255, 255, 255);
    const QRgb rgb = PaletteColour(BlockIndex(x, y));
    return ePixels == EPixels::Grey ? qRgb(qGreen(rgb), qGreen(rgb), qGreen(rgb)) : rgb;
}

void GridPixel(const CGeoGrid& grid, double dLongitude, double dLatitude, double& x, double& y)
{
    double dX = dLongitude;
    double dY = dLatitude;
    if (grid.nEpsg == 3857) {
        dX = EARTH_RADIUS * dLongitude * PI / 180;
        dY = EARTH_RADIUS * std::log(std::tan(PI / 4 + dLatitude * PI / 360));
    }
    x = (dX - grid.dLeft) / grid.dStep;
    y = (grid.dTop - dY) / grid.dStep;
}

void GridPosition(const CGeoGrid& grid, double x, double y, double& dLongitude, double& dLatitude)
{
    const double dX = grid.dLeft + x * grid.dStep;
    const double dY = grid.dTop - y * grid.dStep;
    dLongitude = dX;
    dLatitude = dY;
    if (grid.nEpsg == 3857) {
        dLongitude = dX / EARTH_RADIUS * 180 / PI;
        dLatitude = (2 * std::atan(std::exp(dY / EARTH_RADIUS)) - PI / 2) * 180 / PI;
    }
}

bool WritePattern(const QString& strPath, const char* szDriver, const CGeoGrid& grid, EPixels ePixels,
                  bool bGeoreferenced)
{
    GDALAllRegister();
    const int nBands = ePixels == EPixels::Rgba ? 4 : ePixels == EPixels::Rgb ? 3 : 1;
    GDALDatasetH hMem = GDALCreate(GDALGetDriverByName("MEM"), "", grid.nWidth, grid.nHeight, nBands, GDT_Byte,
                                   nullptr);
    std::vector<uint8_t> row(size_t(grid.nWidth));
    for (int nBand = 1; nBand <= nBands; ++nBand) {
        for (int y = 0; y < grid.nHeight; ++y) {
            for (int x = 0; x < grid.nWidth; ++x) {
                const QRgb rgb = BlockColour(x, y);
                const int nValue = ePixels == EPixels::Palette ? BlockIndex(x, y)
                                   : nBand == 4               ? (Transparent(x, y, ePixels) ? 0 : 255)
                                   : nBand == 1 && nBands > 1 ? qRed(rgb)
                                   : nBand == 3               ? qBlue(rgb)
                                                              : qGreen(rgb);
                row[size_t(x)] = uint8_t(nValue);
            }
            if (GDALRasterIO(GDALGetRasterBand(hMem, nBand), GF_Write, 0, y, grid.nWidth, 1, row.data(),
                             grid.nWidth, 1, GDT_Byte, 0, 0)
                != CE_None)
                return false;
        }
    }
    if (nBands == 4)
        GDALSetRasterColorInterpretation(GDALGetRasterBand(hMem, 4), GCI_AlphaBand);
    if (ePixels == EPixels::Palette) {
        GDALColorTableH hTable = GDALCreateColorTable(GPI_RGB);
        for (int i = 0; i < 256; ++i) {
            const GDALColorEntry entry {short(qRed(PaletteColour(i))), short(qGreen(PaletteColour(i))),
                                        short(qBlue(PaletteColour(i))), 255};
            GDALSetColorEntry(hTable, i, &entry);
        }
        GDALSetRasterColorTable(GDALGetRasterBand(hMem, 1), hTable);
        GDALDestroyColorTable(hTable);
    }
    if (bGeoreferenced) {
        double gt[6] = {grid.dLeft, grid.dStep, 0, grid.dTop, 0, -grid.dStep};
        GDALSetGeoTransform(hMem, gt);
        GDALSetProjection(hMem, Wkt(grid.nEpsg).toUtf8().constData());
    }
    GDALDatasetH hOut = GDALCreateCopy(GDALGetDriverByName(szDriver), QFile::encodeName(strPath).constData(), hMem,
                                       FALSE, nullptr, nullptr, nullptr);
    GDALClose(hMem);
    if (!hOut)
        return false;
    GDALClose(hOut);
    return true;
}

bool WriteOziMap(const QString& strMapPath, const QString& strImageName, const CGeoGrid& grid)
{
    QString strText;
    QTextStream out(&strText);
    out << "OziExplorer Map Data File Version 2.2\r\nTest chart\r\n" << strImageName << "\r\n"
        << "1 ,Map Code,\r\nWGS 84,WGS 84,   0.0000,   0.0000,WGS 84\r\nReserved 1\r\nReserved 2\r\n"
        << "Magnetic Variation,,,E\r\n"
        << "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\r\n";
    const int corners[4][2] = {{0, 0}, {grid.nWidth, 0}, {grid.nWidth, grid.nHeight}, {0, grid.nHeight}};
    for (int i = 0; i < 4; ++i) {
        const double dLongitude = grid.dLeft + corners[i][0] * grid.dStep;
        const double dLatitude = grid.dTop - corners[i][1] * grid.dStep;
        out << QStringLiteral("Point%1,xy,%2,%3,in, deg,").arg(i + 1, 2, 10, QChar(u'0')).arg(corners[i][0])
                   .arg(corners[i][1])
            << OziAngle(dLatitude, 'N', 'S') << u',' << OziAngle(dLongitude, 'E', 'W')
            << ", grid,   ,           ,           ,N\r\n";
    }
    out << "Projection Setup,,,,,,,,,,\r\nMap Feature = MF ; Map Comment = MC     These follow if they exist\r\n"
        << "Track File = TF      These follow if they exist\r\n"
        << "Moving Map Parameters = MM?    These follow if they exist\r\nMM0,Yes\r\nMMPNUM,4\r\n";
    for (int i = 0; i < 4; ++i)
        out << QStringLiteral("MMPXY,%1,%2,%3\r\n").arg(i + 1).arg(corners[i][0]).arg(corners[i][1]);
    for (int i = 0; i < 4; ++i) {
        out << QStringLiteral("MMPLL,%1,%2,%3\r\n")
                   .arg(i + 1)
                   .arg(grid.dLeft + corners[i][0] * grid.dStep, 0, 'f', 6)
                   .arg(grid.dTop - corners[i][1] * grid.dStep, 0, 'f', 6);
    }
    out << QStringLiteral("IWH,Map Image Width/Height,%1,%2\r\n").arg(grid.nWidth).arg(grid.nHeight);
    out.flush();
    return WriteText(strMapPath, strText);
}

bool WriteWorldFile(const QString& strImagePath, const CGeoGrid& grid)
{
    const QFileInfo info(strImagePath);
    const QString strBase = info.path() + u'/' + info.completeBaseName();
    // A world file names the centre of the top-left pixel.
    const QString strWorld = QStringLiteral("%1\n0\n0\n%2\n%3\n%4\n")
                                 .arg(grid.dStep, 0, 'g', 17)
                                 .arg(-grid.dStep, 0, 'g', 17)
                                 .arg(grid.dLeft + grid.dStep / 2, 0, 'g', 17)
                                 .arg(grid.dTop - grid.dStep / 2, 0, 'g', 17);
    return WriteText(strBase + QStringLiteral(".wld"), strWorld)
           && WriteText(strBase + QStringLiteral(".prj"), Wkt(grid.nEpsg));
}
