#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// A copied text, prepared once for the history and never changed: kept as
// UTF-8 (half the size of a QString for the logs and code people copy), with
// what the de-duplication and the views need computed at preparation, which
// happens off the GUI thread for clipboard captures:
//   - a hash that is equal for canonically equivalent texts;
//   - the display text: trailing white space removed, cut to a prefix that
//     fills more than two lines of the widest row;
//   - the search form (see TextSearch).
// Copies share the prepared data.
class ClipboardText
{
public:
    // Characters (UTF-16 code units) of the display text at most.
    static constexpr qsizetype maxDisplayLength = 4096;

    static ClipboardText fromString(const QString &text);
    // Invalid sequences are replaced as QString::fromUtf8() replaces them.
    static ClipboardText fromUtf8(const QByteArray &utf8);

    // The whole text, decoded: a copy as large as the text.
    QString toString() const;
    const QByteArray &utf8() const { return d->utf8; }
    // Length in UTF-16 code units, as QString::size() counts.
    qsizetype size() const { return d->size; }
    // Only white space and line breaks, or nothing at all.
    bool isBlank() const { return d->displayText.isEmpty(); }

    // Every trailing white-space character removed, then cut to at most
    // maxDisplayLength characters (never inside a surrogate pair).
    const QString &displayText() const { return d->displayText; }
    // True when the display text is shorter than the text without its
    // trailing white space.
    bool isDisplayTextCut() const { return d->displayTextCut; }
    const QByteArray &searchForm() const { return d->searchForm; }
    // Equal for canonically equivalent texts.
    const QByteArray &canonicalHash() const { return d->canonicalHash; }

    // Decides from the hashes and bytes alone: false when the hashes differ,
    // true when the bytes are the same, nothing when only a comparison of
    // the decoded texts can tell (equal hashes, different bytes).
    static std::optional<bool> quickCompare(const ClipboardText &a, const ClipboardText &b);
    // Exact: Unicode equality under canonical equivalence, no trimming, no
    // case folding. Decodes both texts when the quick comparison cannot tell.
    static bool equal(const ClipboardText &a, const ClipboardText &b);
    // The same rule on two strings.
    static bool stringsEqual(const QString &a, const QString &b);

private:
    struct Data
    {
        QByteArray utf8;
        qsizetype size = 0;
        QString displayText;
        bool displayTextCut = false;
        QByteArray searchForm;
        QByteArray canonicalHash;
    };
    explicit ClipboardText(std::shared_ptr<const Data> data);

    std::shared_ptr<const Data> d;
};
