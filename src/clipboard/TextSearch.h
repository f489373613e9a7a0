#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

// Case-insensitive containment over texts of any size, in time linear in the
// text's length.
//
// Both sides are brought once into a search form: canonical composition
// (NFC), then the simple Unicode case folding of every code point, as UTF-8.
// A text contains a search exactly when its search form contains the
// search's search form as bytes, which is what a case-insensitive,
// canonically composed comparison of the two texts says too.
class TextSearch
{
public:
    // The search form of text.
    static QByteArray searchForm(QStringView text);
    // The same for a text given as valid UTF-8. Plain ASCII without capitals
    // (most logs and code) is its own search form: the same bytes, shared.
    static QByteArray searchFormOfUtf8(const QByteArray &utf8);

    // Offset of the first occurrence of needle in haystack at or after from,
    // or -1. An empty needle occurs at from. Scans with vector instructions
    // for two of the needle's rarest bytes and falls back to a two-way search
    // when candidates keep failing, so a pathological text still costs
    // linear time.
    static qsizetype find(QByteArrayView haystack, QByteArrayView needle, qsizetype from = 0);

    // True when every byte is below 0x80.
    static bool isAscii(QByteArrayView bytes);
};
