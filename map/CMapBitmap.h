#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>

// One calibrated map bitmap with the state of the view onto it.
class CMapBitmap
{
public:
    CMapBitmap() = default;
    virtual ~CMapBitmap() = default;
    CMapBitmap(const CMapBitmap&) = delete;
    CMapBitmap& operator=(const CMapBitmap&) = delete;

    bool ParseCalibration();

    QString m_path;
    QImage m_bitmap;            // the decoded pixels; null until loaded
    bool m_hDib = false;        // true once a load has succeeded
    int32_t m_panX = 0;
    int32_t m_panY = 0;
    double m_lonMin = 0;
    double m_lonMax = 0;
    double m_latMin = 0;
    double m_latMax = 0;
    double m_viewSpanLon = 0;
    double m_viewSpanLat = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_viewWidth = 0;
    uint32_t m_viewHeight = 0;
    double m_lonPerPixel = 0;
    double m_latPerPixel = 0;
    double m_zoom = 1.0;
};

using CMapList = std::deque<std::unique_ptr<CMapBitmap>>;
