#include "views/HistorySearch.h"

#include "clipboard/TextSearch.h"

#include <QtConcurrentMap>

#include <algorithm>

const HistorySearch::Result *HistorySearch::bestBase(const QByteArray &needle) const
{
    // The longest earlier search that this one extends (or repeats): a match
    // of this one starts at or after its first match.
    const Result *best = nullptr;
    for (const Result &result : m_results) {
        if (needle.startsWith(result.needle) && (!best || result.needle.size() > best->needle.size()))
            best = &result;
    }
    return best;
}

QList<ClipboardItem> HistorySearch::filter(const QList<ClipboardItem> &items, const QString &search)
{
    if (search.isEmpty())
        return items;
    const QByteArray needle = TextSearch::searchForm(search);
    const Result *base = bestBase(needle);

    // Offset of each entry's first match; what the remembered search settles
    // is filled in now, the rest is searched below.
    constexpr qsizetype noText = -2;
    QList<qsizetype> firstMatch(items.size(), noText);
    struct Scan
    {
        qsizetype index;
        const QByteArray *form;
        qsizetype from;
    };
    QList<Scan> scans;
    qsizetype scanBytes = 0;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ClipboardItem &item = items.at(i);
        const QByteArray *form = item.searchForm();
        if (!form)
            continue;
        qsizetype from = 0;
        if (base && item.hasText()) {
            if (const auto known = base->firstMatch.constFind(item.id()); known != base->firstMatch.cend()) {
                if (*known < 0 || base->needle == needle) {
                    firstMatch[i] = *known;
                    continue;
                }
                from = *known;
            }
        }
        scans.append({i, form, from});
        scanBytes += form->size() - from;
    }
    // Huge texts are searched on every core: the keystroke waits for the
    // largest share, not for the sum.
    qsizetype *offsets = firstMatch.data(); // detached once, before the threads write
    const auto scan = [&](const Scan &s) { offsets[s.index] = TextSearch::find(*s.form, needle, s.from); };
    if (scanBytes > parallelScanBytes && scans.size() > 1)
        QtConcurrent::blockingMap(scans, scan);
    else
        std::for_each(scans.cbegin(), scans.cend(), scan);

    Result result {needle, {}};
    result.firstMatch.reserve(items.size());
    QList<ClipboardItem> matching;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ClipboardItem &item = items.at(i);
        if (item.hasText())
            result.firstMatch.insert(item.id(), firstMatch.at(i));
        if (firstMatch.at(i) >= 0)
            matching.append(item);
    }
    m_results.removeIf([&needle](const Result &r) { return r.needle == needle; });
    m_results.append(std::move(result));
    if (m_results.size() > rememberedSearches)
        m_results.removeFirst();
    return matching;
}
