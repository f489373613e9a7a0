#pragma once

#include "settings/LoginItem.h"

#include <QStringList>

// A login item in memory that records the calls made to it and can be told
// to fail.
class FakeLoginItem final : public LoginItem
{
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> registerItem() override { return call(QStringLiteral("register"), true); }
    std::optional<QString> unregisterItem() override { return call(QStringLiteral("unregister"), false); }

    bool enabled = false;
    // When set, the next calls fail with this text and change nothing.
    std::optional<QString> failure;
    // "register" / "unregister", in call order.
    QStringList calls;

private:
    std::optional<QString> call(const QString &name, bool enabling)
    {
        calls << name;
        if (!failure)
            enabled = enabling;
        return failure;
    }
};
