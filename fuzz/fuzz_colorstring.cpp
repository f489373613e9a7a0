// The colour parser reads every text the user copies: any bytes, as UTF-8
// and as Latin-1, must give a valid colour or nothing, and never crash.

#include "views/ColorStringParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    for (const QString &input :
         {QString::fromUtf8(text, qsizetype(size)), QString::fromLatin1(text, qsizetype(size))}) {
        const std::optional<QColor> color = parseColorString(input);
        if (color && !color->isValid())
            std::abort();
    }
    return 0;
}
