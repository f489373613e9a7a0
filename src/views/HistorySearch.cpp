#include "views/HistorySearch.h"

#include "clipboard/TextSearch.h"

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
    Result result {needle, {}};
    result.firstMatch.reserve(items.size());

    QList<ClipboardItem> matching;
    for (const ClipboardItem &item : items) {
        const QByteArray *form = item.searchForm();
        if (!form)
            continue;
        if (!item.hasText()) {
            if (TextSearch::find(*form, needle) >= 0)
                matching.append(item);
            continue;
        }
        constexpr qsizetype unknown = -2;
        qsizetype at = unknown;
        if (base) {
            if (const auto known = base->firstMatch.constFind(item.id()); known != base->firstMatch.cend())
                at = *known < 0 || base->needle == needle ? *known : TextSearch::find(*form, needle, *known);
        }
        if (at == unknown)
            at = TextSearch::find(*form, needle);
        result.firstMatch.insert(item.id(), at);
        if (at >= 0)
            matching.append(item);
    }

    m_results.removeIf([&needle](const Result &r) { return r.needle == needle; });
    m_results.append(std::move(result));
    if (m_results.size() > rememberedSearches)
        m_results.removeFirst();
    return matching;
}
