#include "support/OtherUser.h"

#include "support/TestTools.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace OtherUser {

std::optional<uid_t> id()
{
    if (getuid() != 0)
        return std::nullopt;
    // Another test may create it at the same moment: look again either way.
    if (!getpwnam("halvex-peer")) {
        runTool(QStringLiteral("useradd"),
                {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                 QStringLiteral("/usr/sbin/nologin"), QStringLiteral("halvex-peer")});
    }
    if (const passwd *entry = getpwnam("halvex-peer"))
        return entry->pw_uid;
    return std::nullopt;
}

void runAs(QProcess &process, uid_t uid)
{
    const passwd *entry = getpwuid(uid);
    const gid_t gid = entry ? entry->pw_gid : gid_t(uid);
    process.setChildProcessModifier([uid, gid] {
        // Group first: without root, the group can no longer be changed.
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(127);
    });
}

} // namespace OtherUser
