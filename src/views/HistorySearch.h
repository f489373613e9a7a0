#pragma once

#include "clipboard/ClipboardItem.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

// The quick-paste search: the entries whose text (or, lacking text,
// recognised text) contains the search, ignoring case, in history order; all
// of them while the search is empty. The search is not trimmed.
//
// Remembers where each text entry first matched for the last few searches, so
// that typing on looks again only at the entries that matched, from where
// they matched, and deleting a character finds the earlier result. Entries
// are remembered by id: a text never changes. Recognised texts are short and
// looked at afresh every time. When megabytes remain to be searched, the
// entries are searched on all cores.
class HistorySearch
{
public:
    QList<ClipboardItem> filter(const QList<ClipboardItem> &items, const QString &search);

private:
    // Offset of the first match in each text entry's search form, -1 for none.
    struct Result
    {
        QByteArray needle;
        QHash<QUuid, qsizetype> firstMatch;
    };
    static constexpr qsizetype rememberedSearches = 16;
    // More text than this to search, and it is spread over the cores.
    static constexpr qsizetype parallelScanBytes = 4 * 1024 * 1024;

    const Result *bestBase(const QByteArray &needle) const;

    QList<Result> m_results; // newest last
};
