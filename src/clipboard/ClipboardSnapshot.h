#pragma once

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

// What one completed read of the system clipboard found: images (decoded),
// else text, else nothing. Made once on the fetch thread and handed to the
// GUI thread whole; never changed afterwards.
struct ClipboardSnapshot
{
    QList<QImage> images;
    std::optional<QString> text;
};

Q_DECLARE_METATYPE(ClipboardSnapshot)
