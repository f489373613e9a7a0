#include "clipboard/TextSearch.h"

#include <QString>

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// How common a byte is in everyday text, logs and code: higher is commoner.
// Only the order matters: the scan looks for the needle's two rarest bytes.
int commonness(unsigned char byte)
{
    static constexpr char byFrequency[] = "etaoinsrhldcumfpgwybvkxjqz";
    if (byte == ' ')
        return 255;
    if (const char *letter = std::strchr(byFrequency, byte); letter && byte != 0)
        return 230 - 4 * int(letter - byFrequency);
    if (byte >= '0' && byte <= '9')
        return 150;
    if (std::strchr("\n\t,.-_/:=\"'()", byte) && byte != 0)
        return 120;
    if (byte >= 0x80)
        return 100; // parts of non-ASCII characters
    if (byte >= 0x20)
        return 60;
    return 10;
}

// Two distinct positions of the needle holding its rarest bytes, first < second.
struct Probe
{
    qsizetype first = 0;
    qsizetype second = 0;
};

Probe probeFor(QByteArrayView needle)
{
    qsizetype rarest = 0;
    for (qsizetype i = 1; i < needle.size(); ++i) {
        if (commonness(uchar(needle[i])) < commonness(uchar(needle[rarest])))
            rarest = i;
    }
    qsizetype next = rarest == 0 ? 1 : 0;
    for (qsizetype i = 0; i < needle.size(); ++i) {
        if (i == rarest)
            continue;
        // A different byte value filters better than the same one twice.
        const bool sameByte = needle[i] == needle[rarest];
        const bool nextSameByte = needle[next] == needle[rarest];
        if ((nextSameByte && !sameByte)
            || (sameByte == nextSameByte && commonness(uchar(needle[i])) < commonness(uchar(needle[next]))))
            next = i;
    }
    return rarest < next ? Probe {rarest, next} : Probe {next, rarest};
}

// Candidate positions found by the vector scan are checked here. Counts the
// bytes compared so that a text full of near-matches can be handed over to
// the linear two-way search.
class Verifier
{
public:
    Verifier(QByteArrayView haystack, QByteArrayView needle, qsizetype from)
        : m_haystack(haystack)
        , m_needle(needle)
        , m_from(from)
    { }

    bool matchesAt(qsizetype i)
    {
        m_compared += m_needle.size();
        return std::memcmp(m_haystack.data() + i, m_needle.data(), size_t(m_needle.size())) == 0;
    }
    // True once comparing has cost more than a few times the bytes scanned.
    bool tooCostly(qsizetype i) const { return m_compared > 4 * (i - m_from) + 64 * 1024; }

    qsizetype twoWayFrom(qsizetype i) const
    {
        const void *found = memmem(m_haystack.data() + i, size_t(m_haystack.size() - i), m_needle.data(),
                                   size_t(m_needle.size()));
        return found ? qsizetype(static_cast<const char *>(found) - m_haystack.data()) : -1;
    }

private:
    QByteArrayView m_haystack;
    QByteArrayView m_needle;
    qsizetype m_from;
    qsizetype m_compared = 0;
};

// Scans positions [i, last] one by one; the tail after the vector loops.
qsizetype scanScalar(QByteArrayView haystack, QByteArrayView needle, Probe probe, qsizetype i, qsizetype last,
                     Verifier &verifier)
{
    const char a = needle[probe.first];
    const char b = needle[probe.second];
    for (; i <= last; ++i) {
        if (haystack[i + probe.first] == a && haystack[i + probe.second] == b && verifier.matchesAt(i))
            return i;
        if (verifier.tooCostly(i))
            return verifier.twoWayFrom(i);
    }
    return -1;
}

#if defined(__x86_64__)

// Returns the first match among the candidate bits of the block at i, -1
// for none, or -2 when the verifier gave up (result in *found).
inline qsizetype checkCandidates(unsigned mask, qsizetype i, Verifier &verifier, qsizetype *found)
{
    while (mask) {
        const qsizetype at = i + __builtin_ctz(mask);
        if (verifier.matchesAt(at))
            return at;
        mask &= mask - 1;
    }
    if (verifier.tooCostly(i)) {
        *found = verifier.twoWayFrom(i);
        return -2;
    }
    return -1;
}

// The two vector scans are the same loop at two widths. They stay apart
// because intrinsics inline only into a function compiled for their
// instruction set, which a shared template would not be.
#if !defined(HALVEX_SEARCH_WITHOUT_AVX2)
__attribute__((target("avx2"))) qsizetype scanAvx2(QByteArrayView haystack, QByteArrayView needle,
                                                   Probe probe, qsizetype i, qsizetype last)
{
    Verifier verifier(haystack, needle, i);
    const __m256i a = _mm256_set1_epi8(needle[probe.first]);
    const __m256i b = _mm256_set1_epi8(needle[probe.second]);
    const char *h = haystack.data();
    for (; i + 31 <= last; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + i + probe.first));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + i + probe.second));
        const unsigned mask = unsigned(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(x, a), _mm256_cmpeq_epi8(y, b))));
        qsizetype found = -1;
        if (const qsizetype at = checkCandidates(mask, i, verifier, &found); at != -1)
            return at == -2 ? found : at;
    }
    return scanScalar(haystack, needle, probe, i, last, verifier);
}
#endif

qsizetype scanSse2(QByteArrayView haystack, QByteArrayView needle, Probe probe, qsizetype i, qsizetype last)
{
    Verifier verifier(haystack, needle, i);
    const __m128i a = _mm_set1_epi8(needle[probe.first]);
    const __m128i b = _mm_set1_epi8(needle[probe.second]);
    const char *h = haystack.data();
    for (; i + 15 <= last; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i + probe.first));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i + probe.second));
        const unsigned mask
            = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, a), _mm_cmpeq_epi8(y, b))));
        qsizetype found = -1;
        if (const qsizetype at = checkCandidates(mask, i, verifier, &found); at != -1)
            return at == -2 ? found : at;
    }
    return scanScalar(haystack, needle, probe, i, last, verifier);
}

#endif

// Appends the simple case folding of every code point of text.
void appendFolded(QString &out, QStringView text)
{
    out.reserve(out.size() + text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const char32_t folded = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(folded)) {
            out.append(QChar(QChar::highSurrogate(folded)));
            out.append(QChar(QChar::lowSurrogate(folded)));
        } else {
            out.append(QChar(char16_t(folded)));
        }
    }
}

} // namespace

bool TextSearch::isAscii(QByteArrayView bytes)
{
    // Branch-free over blocks so that the compiler vectorises it.
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 64 <= n; i += 64) {
        unsigned char any = 0;
        for (int k = 0; k < 64; ++k)
            any |= p[i + k];
        if (any & 0x80)
            return false;
    }
    for (; i < n; ++i) {
        if (p[i] & 0x80)
            return false;
    }
    return true;
}

QByteArray TextSearch::searchForm(QStringView text)
{
    bool ascii = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        QByteArray form(text.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = char(text[i].unicode());
            form[i] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
        }
        return form;
    }
    QString folded;
    appendFolded(folded, text.toString().normalized(QString::NormalizationForm_C));
    return folded.toUtf8();
}

QByteArray TextSearch::searchFormOfUtf8(const QByteArray &utf8)
{
    if (!isAscii(utf8))
        return searchForm(QString::fromUtf8(utf8));
    // ASCII characters fold only to ASCII letters; composition leaves them alone.
    const char *p = utf8.constData();
    qsizetype firstCapital = 0;
    while (firstCapital < utf8.size() && !(p[firstCapital] >= 'A' && p[firstCapital] <= 'Z'))
        ++firstCapital;
    if (firstCapital == utf8.size())
        return utf8;
    QByteArray form = utf8;
    char *q = form.data();
    for (qsizetype i = firstCapital; i < form.size(); ++i) {
        if (q[i] >= 'A' && q[i] <= 'Z')
            q[i] = char(q[i] + ('a' - 'A'));
    }
    return form;
}

qsizetype TextSearch::find(QByteArrayView haystack, QByteArrayView needle, qsizetype from)
{
    from = qBound<qsizetype>(0, from, haystack.size());
    if (needle.isEmpty())
        return from;
    const qsizetype last = haystack.size() - needle.size(); // the last position a match can start at
    if (from > last)
        return -1;
    if (needle.size() == 1) {
        const void *found = std::memchr(haystack.data() + from, needle[0], size_t(haystack.size() - from));
        return found ? qsizetype(static_cast<const char *>(found) - haystack.data()) : -1;
    }
    const Probe probe = probeFor(needle);
#if defined(__x86_64__)
#if !defined(HALVEX_SEARCH_WITHOUT_AVX2) // defined for testing the SSE2 scan on any machine
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    if (hasAvx2)
        return scanAvx2(haystack, needle, probe, from, last);
#endif
    return scanSse2(haystack, needle, probe, from, last);
#else
    Verifier verifier(haystack, needle, from);
    return scanScalar(haystack, needle, probe, from, last, verifier);
#endif
}
