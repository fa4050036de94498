// Bitmap decoder on arbitrary bytes: must never read outside the input.
#include "map/DibFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    QImage image;
    if (DecodeDib(pbyData, nSize, &image, nullptr) == DIB_OK) {
        // Touch every pixel through Qt, as the map view's stretch would.
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        volatile QRgb sink = rgb.pixel(rgb.width() - 1, rgb.height() - 1);
        (void)sink;
    }
    return 0;
}
