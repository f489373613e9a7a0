#pragma once

#include <QString>

#include <optional>

// Registration of the application as something the desktop starts when the
// user logs in. Failures come back as the error's text.
class LoginItem
{
public:
    virtual ~LoginItem() = default;

    // True when the desktop will start the application at the next login.
    virtual bool isEnabled() const = 0;
    // Each returns nothing on success, else a description of what failed.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
};
