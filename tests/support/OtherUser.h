#pragma once

#include <QProcess>
#include <QString>

#include <optional>
#include <sys/types.h>

// A second local user for tests that check what another user can do to us.
// Only root can act as another user: as root the account "halvex-peer" is
// created (useradd) the first time; otherwise there is none, and the caller
// skips with skipReason.
namespace OtherUser {

inline constexpr const char *skipReason
    = "acting as a second user needs root (the test creates the account halvex-peer): "
      "run the suite as root to check that another user cannot hijack the instance socket";

std::optional<uid_t> id();

// Makes process start its program as the other user (set before start()).
void runAs(QProcess &process, uid_t uid);

} // namespace OtherUser
