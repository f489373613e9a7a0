#include "settings/LaunchAtLogin.h"

#include "settings/LoginItem.h"

#include <cstdio>

bool updateLaunchAtLogin(LoginItem &item, bool enabled)
{
    std::optional<QString> error;
    if (enabled) {
        if (item.isEnabled())
            return true;
        error = item.registerItem();
    } else {
        error = item.unregisterItem();
    }
    if (!error)
        return true;
    const QByteArray line = "Failed to update launch at login: " + error->toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return false;
}
