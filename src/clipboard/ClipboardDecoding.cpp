#include "clipboard/ClipboardDecoding.h"

#include "clipboard/ClipboardLogging.h"

#include <QBuffer>
#include <QImageReader>

namespace ClipboardDecoding {

std::optional<QImage> decodeImage(const QByteArray &data, const QByteArray &mimeType, qsizetype maxBytes,
                                  bool *tooLarge)
{
    *tooLarge = false;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QList<QByteArray> formats = QImageReader::imageFormatsForMimeType(mimeType);
    QImageReader reader(&buffer, formats.isEmpty() ? QByteArray() : formats.constFirst());
    reader.setDecideFormatFromContent(true);
    // Check the size before any pixel is allocated.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    if (qint64(size.width()) * size.height() * 4 > maxBytes) {
        *tooLarge = true;
        return std::nullopt;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        qCDebug(lcClipboard) << "cannot decode the clipboard's" << mimeType << ":" << reader.errorString();
        return std::nullopt;
    }
    return image;
}

QString decodeText(QByteArray data, bool latin1)
{
    while (!data.isEmpty() && data.endsWith('\0'))
        data.chop(1);
    return latin1 ? QString::fromLatin1(data) : QString::fromUtf8(data);
}

} // namespace ClipboardDecoding
