#pragma once

class LoginItem;

// Brings the login item in line with the "Open at Login" choice: turning it
// on registers unless it is already enabled, turning it off always
// unregisters. A failure is reported as one line on standard output
// ("Failed to update launch at login: " and the error's text) and changes
// nothing else. Returns whether the call succeeded.
bool updateLaunchAtLogin(LoginItem &item, bool enabled);
