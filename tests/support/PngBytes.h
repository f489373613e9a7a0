#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// image as PNG bytes, as a clipboard owner would offer it; quality is Qt's
// PNG compression setting (0 = largest file, 100 = smallest).
inline QByteArray pngBytes(const QImage &image, int quality = -1)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", quality);
    return png;
}
