#include "clipboard/ClipboardText.h"

#include "clipboard/TextSearch.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

namespace {

constexpr auto hashAlgorithm = QCryptographicHash::Blake2b_256;

// Checks that utf8 is well-formed UTF-8 that QString::fromUtf8() decodes
// as it stands (no leading byte-order mark, which it drops) and counts its
// UTF-16 code units. Returns -1 otherwise.
qsizetype utf16Length(const QByteArray &utf8)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.constData());
    const qsizetype n = utf8.size();
    if (n >= 3 && p[0] == 0xef && p[1] == 0xbb && p[2] == 0xbf)
        return -1;
    qsizetype units = 0;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            ++units;
            continue;
        }
        qsizetype length = 0;
        char32_t minimum = 0;
        char32_t c = 0;
        if ((lead & 0xe0) == 0xc0) {
            length = 2, minimum = 0x80, c = lead & 0x1f;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3, minimum = 0x800, c = lead & 0x0f;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4, minimum = 0x10000, c = lead & 0x07;
        } else {
            return -1;
        }
        if (i + length > n)
            return -1;
        for (qsizetype k = 1; k < length; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return -1;
            c = (c << 6) | (p[i + k] & 0x3f);
        }
        if (c < minimum || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff))
            return -1;
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

// Byte offset where the trailing white space of well-formed utf8 begins.
qsizetype endWithoutTrailingSpace(const QByteArray &utf8)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.constData());
    qsizetype end = utf8.size();
    while (end > 0) {
        qsizetype start = end - 1;
        while (start > 0 && (p[start] & 0xc0) == 0x80)
            --start;
        char32_t c = p[start];
        if (c >= 0x80) {
            const int length = int(end - start);
            c &= length == 2 ? 0x1f : length == 3 ? 0x0f : 0x07;
            for (qsizetype k = start + 1; k < end; ++k)
                c = (c << 6) | (p[k] & 0x3f);
        }
        if (!QChar::isSpace(c))
            break;
        end = start;
    }
    return end;
}

QByteArray canonicalHashOf(const QByteArray &utf8, bool ascii)
{
    // ASCII is its own canonical decomposition.
    if (ascii)
        return QCryptographicHash::hash(utf8, hashAlgorithm);
    return QCryptographicHash::hash(QString::fromUtf8(utf8).normalized(QString::NormalizationForm_D).toUtf8(),
                                    hashAlgorithm);
}

// Index of the first code unit where a and b differ (the shorter length when
// one is a prefix of the other). Compares in blocks with memcmp first.
qsizetype firstDifference(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    constexpr qsizetype block = 4096;
    qsizetype i = 0;
    while (i + block <= common && std::memcmp(a.data() + i, b.data() + i, block * sizeof(QChar)) == 0)
        i += block;
    while (i < common && a[i] == b[i])
        ++i;
    return i;
}

} // namespace

ClipboardText::ClipboardText(std::shared_ptr<const Data> data)
    : d(std::move(data))
{ }

ClipboardText ClipboardText::fromString(const QString &text)
{
    return fromUtf8(text.toUtf8());
}

ClipboardText ClipboardText::fromUtf8(const QByteArray &utf8)
{
    auto data = std::make_shared<Data>();
    data->size = utf16Length(utf8);
    data->utf8 = utf8;
    if (data->size < 0) {
        // Take the bytes as the decoder reads them, so that the stored text
        // is the text every reader sees.
        const QString decoded = QString::fromUtf8(utf8);
        data->size = decoded.size();
        data->utf8 = decoded.toUtf8();
    }
    const bool ascii = TextSearch::isAscii(data->utf8);

    const qsizetype end = endWithoutTrailingSpace(data->utf8);
    // At most 4 bytes per character: this many bytes hold the display text.
    qsizetype prefixEnd = std::min(end, 4 * maxDisplayLength);
    while (prefixEnd < end && (uchar(data->utf8.at(prefixEnd)) & 0xc0) == 0x80)
        --prefixEnd;
    data->displayText = QString::fromUtf8(QByteArrayView(data->utf8).first(prefixEnd));
    data->displayTextCut = prefixEnd < end;
    if (data->displayText.size() > maxDisplayLength) {
        qsizetype cut = maxDisplayLength;
        if (data->displayText.at(cut - 1).isHighSurrogate())
            --cut;
        data->displayText.truncate(cut);
        data->displayTextCut = true;
    }

    data->searchForm = TextSearch::searchFormOfUtf8(data->utf8);
    data->canonicalHash = canonicalHashOf(data->utf8, ascii);
    return ClipboardText(std::move(data));
}

QString ClipboardText::toString() const
{
    return QString::fromUtf8(d->utf8);
}

std::optional<bool> ClipboardText::quickCompare(const ClipboardText &a, const ClipboardText &b)
{
    if (a.d == b.d)
        return true;
    if (a.d->canonicalHash != b.d->canonicalHash)
        return false;
    if (a.d->utf8 == b.d->utf8)
        return true;
    return std::nullopt;
}

bool ClipboardText::equal(const ClipboardText &a, const ClipboardText &b)
{
    if (const std::optional<bool> quick = quickCompare(a, b))
        return *quick;
    return stringsEqual(a.toString(), b.toString());
}

bool ClipboardText::stringsEqual(const QString &a, const QString &b)
{
    const qsizetype i = firstDifference(a, b);
    if (i == a.size() && i == b.size())
        return true;
    // Canonically equivalent texts have the same canonical decomposition
    // (NFD). Two cases settle it without decomposing:
    // - one text is a proper prefix of the other: decomposition never
    //   shortens a text, so the longer one's decomposition is longer;
    // - at the first difference both characters lie below U+00C0: such a
    //   character never decomposes and is a starter that reordering does not
    //   cross, so the decompositions differ at the same place.
    if (i == a.size() || i == b.size())
        return false;
    if (a[i].unicode() < 0xc0 && b[i].unicode() < 0xc0)
        return false;
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}
