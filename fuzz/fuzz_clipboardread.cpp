// What a clipboard owner offers is under the owner's control: its TARGETS
// reply, the names of those atoms, an INCR size, the bytes of a text and an
// image's header. The reader's decisions over them must never crash, must
// only ask for targets that were offered, and must never decode an image
// larger than its cap.

#include "clipboard/ClipboardReadRules.h"

#include <QImageReader>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Small caps keep each run fast; the rules take the cap as given.
constexpr qsizetype imageCap = 1024 * 1024;

const QList<QByteArray> knownNames
    = {"image/png",     "image/bmp",  "image/gif",   "image/jpeg", "image/x-portable-pixmap",
       "image/svg+xml", "text/plain", "UTF8_STRING", "image/",     ""};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace ClipboardReadRules;
    FuzzedDataProvider input(data, size);
    TargetAtoms atoms;
    atoms.utf8String = 300;
    atoms.textPlainUtf8 = 301;
    atoms.passwordHint = 302;
    atoms.imagePng = 303;

    std::optional<QByteArray> reply;
    if (input.ConsumeBool()) {
        const std::string bytes = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, 256));
        reply = QByteArray(bytes.data(), qsizetype(bytes.size()));
    }
    const QList<uint32_t> targets = offeredTargets(reply, atoms);
    QList<QByteArray> names;
    for (const uint32_t target : targets)
        names.append(target == atoms.imagePng ? QByteArray("image/png")
                                              : knownNames.at(target % knownNames.size()));

    if (!isSecret(targets, atoms)) {
        static const QList<QByteArray> decodable = QImageReader::supportedMimeTypes();
        const QList<ImageCandidate> images = imageCandidates(targets, names, atoms, decodable);
        for (qsizetype i = 0; i < images.size(); ++i) {
            check(targets.contains(images.at(i).target));
            check(images.at(i).mimeType.startsWith("image/"));
            check(i == 0 || images.at(i).target != atoms.imagePng);
        }
        for (const uint32_t target : textCandidates(targets, atoms))
            check(targets.contains(target));
    }

    const std::string property = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, 8));
    check(incrAnnouncedSize(QByteArrayView(property.data(), qsizetype(property.size()))) >= 0);

    const bool latin1 = input.ConsumeBool();
    const QByteArray mimeType
        = knownNames.at(input.ConsumeIntegralInRange<qsizetype>(0, knownNames.size() - 1));
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), qsizetype(rest.size()));
    (void)decodeText(bytes, latin1);
    const DecodedImage image = decodeImage(bytes, mimeType, imageCap);
    if (image.image)
        check(!image.tooLarge && qint64(image.image->width()) * image.image->height() * 4 <= imageCap);
    return 0;
}
