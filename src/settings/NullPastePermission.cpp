#include "settings/NullPastePermission.h"

#include <QCoreApplication>

QString NullPastePermission::missingExplanation() const
{
    return QCoreApplication::translate("NullPastePermission",
                                       "This session offers no way to send keystrokes to other apps; "
                                       "items are copied and can be pasted by hand.");
}
