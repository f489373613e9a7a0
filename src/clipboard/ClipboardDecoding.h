#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// Turning the bytes a clipboard owner sent into what a snapshot holds, the
// same for every platform's watcher. Runs on the watcher's thread.
namespace ClipboardDecoding {

// Decodes an image of the given MIME type. An image whose pixels would take
// more than maxBytes at 32 bits per pixel is not decoded (its size is read
// from the header first) and sets *tooLarge. None when the bytes are no
// image Qt can read.
std::optional<QImage> decodeImage(const QByteArray &data, const QByteArray &mimeType, qsizetype maxBytes,
                                  bool *tooLarge);

// Text on the wire, UTF-8 or Latin-1, without the NUL terminators some owners
// append.
QString decodeText(QByteArray data, bool latin1);

} // namespace ClipboardDecoding
