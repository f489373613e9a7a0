#pragma once

#include <QImage>
#include <QList>
#include <QString>

#include <optional>

// The history store's only way to the system clipboard. The operations mirror
// what a clipboard offers: a change counter, typed text, image objects, and
// the three writes. Implementations answer synchronously; a platform whose
// clipboard is asynchronous (X11) answers from its latest complete snapshot.
class PasteboardProvider
{
public:
    // MIME type of plain text, the only text type the history uses.
    static inline const QString plainTextType = QStringLiteral("text/plain");

    virtual ~PasteboardProvider() = default;

    // Changes whenever any application rewrites the clipboard. Only equality
    // with a remembered value is meaningful: it may go down or wrap.
    virtual qint64 changeCount() const = 0;

    // The images on the clipboard; absent when there are none or they cannot
    // be read.
    virtual std::optional<QList<QImage>> readImages() const = 0;

    // The string of the given type; absent when the clipboard has none.
    virtual std::optional<QString> string(const QString &type) const = 0;

    virtual void clearContents() = 0;
    virtual bool setString(const QString &string, const QString &type) = 0;
    virtual bool writeImages(const QList<QImage> &images) = 0;
};
