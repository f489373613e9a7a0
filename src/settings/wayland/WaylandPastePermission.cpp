#include "settings/wayland/WaylandPastePermission.h"

#include <QCoreApplication>

QString WaylandPastePermission::missingExplanation() const
{
    return QCoreApplication::translate("WaylandPastePermission",
                                       "This desktop lets no application type into others. A picked item is "
                                       "put on the clipboard; press Ctrl+V to paste it.");
}
