#include "clipboard/ClipboardReadRules.h"

#include "clipboard/ClipboardLogging.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>

namespace ClipboardReadRules {

QList<uint32_t> offeredTargets(const std::optional<QByteArray> &targetsReply, const TargetAtoms &atoms)
{
    if (!targetsReply) {
        // An owner without TARGETS: ask for text blindly.
        return {atoms.utf8String, atoms.string};
    }
    QList<uint32_t> targets(targetsReply->size() / qsizetype(sizeof(uint32_t)));
    if (!targets.isEmpty())
        std::memcpy(targets.data(), targetsReply->constData(), size_t(targets.size()) * sizeof(uint32_t));
    return targets;
}

bool isSecret(const QList<uint32_t> &targets, const TargetAtoms &atoms)
{
    return targets.contains(atoms.passwordHint);
}

QList<ImageCandidate> imageCandidates(const QList<uint32_t> &targets, const QList<QByteArray> &names,
                                      const TargetAtoms &atoms, const QList<QByteArray> &decodable)
{
    QList<ImageCandidate> candidates;
    if (targets.contains(atoms.imagePng))
        candidates.append({atoms.imagePng, QByteArrayLiteral("image/png")});
    const qsizetype count = qMin(targets.size(), names.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (targets.at(i) != atoms.imagePng && names.at(i).startsWith("image/")
            && decodable.contains(names.at(i)))
            candidates.append({targets.at(i), names.at(i)});
    }
    return candidates;
}

QList<uint32_t> textCandidates(const QList<uint32_t> &targets, const TargetAtoms &atoms)
{
    QList<uint32_t> candidates;
    for (const uint32_t target : {atoms.utf8String, atoms.textPlainUtf8, atoms.string}) {
        if (targets.contains(target))
            candidates.append(target);
    }
    return candidates;
}

qsizetype incrAnnouncedSize(QByteArrayView property)
{
    if (property.size() < qsizetype(sizeof(uint32_t)))
        return 0;
    uint32_t announced = 0;
    std::memcpy(&announced, property.data(), sizeof announced);
    return qsizetype(announced);
}

QByteArray withoutTrailingNuls(QByteArray bytes)
{
    while (!bytes.isEmpty() && bytes.endsWith('\0'))
        bytes.chop(1);
    return bytes;
}

QString decodeText(QByteArray bytes, bool latin1)
{
    bytes = withoutTrailingNuls(std::move(bytes));
    return latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

DecodedImage decodeImage(const QByteArray &data, const QByteArray &mimeType, qsizetype maxBytes)
{
    DecodedImage result;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QList<QByteArray> formats = QImageReader::imageFormatsForMimeType(mimeType);
    QImageReader reader(&buffer, formats.isEmpty() ? QByteArray() : formats.constFirst());
    reader.setDecideFormatFromContent(true);
    // Check the size before any pixel is allocated.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return result;
    if (qint64(size.width()) * size.height() * 4 > maxBytes) {
        result.tooLarge = true;
        return result;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        qCDebug(lcClipboard) << "cannot decode the clipboard's" << mimeType << ":" << reader.errorString();
        return result;
    }
    result.image = std::move(image);
    return result;
}

} // namespace ClipboardReadRules
