#pragma once

#include "platform/Outcome.h"
#include "platform/gui/ImageHalvings.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>

struct CDibInfo;

// One calibrated map bitmap with the state of the view onto it.
//
// Geometry: column 0's left edge lies at m_lonMin and the last column's right
// edge at m_lonMax; row 0 (the top row) starts at m_latMax and the last row
// ends at m_latMin. Linear in both axes.
class CMapBitmap
{
public:
    CMapBitmap() = default;
    virtual ~CMapBitmap() = default;
    CMapBitmap(const CMapBitmap&) = delete;
    CMapBitmap& operator=(const CMapBitmap&) = delete;

    // Reads the four edges from m_path ("X%dG%dM_%dG%dMY%dG%dM_%dG%dM" or the
    // seconds form "X%dG%dM%dS_..."), scanf style, as the handheld named the
    // file (DeviceName: below the storage card folder, or the file name
    // alone). Returns true when that name holds an upper-case "X"; without
    // one all edges stay 0.0.
    bool ParseCalibration();

    // Decodes m_path (a device or host path) into m_bitmap, replacing any
    // earlier bitmap, and sets the size, the degrees per pixel (1.0 where the
    // edges give none) and zoom 1.0 with pan (0, 0). A failure leaves no
    // bitmap. Callers show the wait cursor. pInfo, when given, receives what
    // the file's headers say.
    COutcome LoadMapBitmap(CDibInfo* pInfo = nullptr);

    // Sizes the view for the drawing area rcArea (left and top 0) at m_zoom:
    // sets m_viewWidth, m_viewHeight, m_viewSpanLon and m_viewSpanLat.
    void ComputeViewExtent(const QRect& rcArea);

    // Display-window client point of a longitude and latitude in the current
    // view (pan and zoom; a drag in progress is not included). Points outside
    // the view come back outside the drawing area.
    QPoint ProjectToScreen(double dLongitude, double dLatitude) const;

    QString m_path;
    QImage m_bitmap;                    // the decoded pixels in the file's depth; null until loaded
    const QImage* m_hDib = nullptr;     // &m_bitmap once a load has succeeded, else null
    int32_t m_panX = 0;                 // bitmap column at the view's left edge
    int32_t m_panY = 0;                 // bitmap row at the view's top edge
    double m_lonMin = 0;
    double m_lonMax = 0;
    double m_latMin = 0;
    double m_latMax = 0;
    double m_viewSpanLon = 0;
    double m_viewSpanLat = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_viewWidth = 0;           // bitmap pixels shown across the view
    uint32_t m_viewHeight = 0;          // bitmap pixels shown down the view
    double m_lonPerPixel = 0;
    double m_latPerPixel = 0;
    double m_zoom = 1.0;                // bitmap pixels per screen pixel ("Zm")
    // Whose tiles a sheet made from a tile server's shows, as the map view
    // credits them; empty for other maps. Read where the record is made.
    QString m_strAttribution;
    // Halvings of m_bitmap, made when a zoomed-out paint first needs them;
    // a cache of the picture, so a const map may fill it.
    mutable CImageHalvings m_halvings;
};

using CMapList = std::deque<std::unique_ptr<CMapBitmap>>;
