#include "fakes/FakeLoginItem.h"

std::optional<QString> FakeLoginItem::registerItem()
{
    calls << QStringLiteral("register");
    if (failure)
        return failure;
    enabled = true;
    return std::nullopt;
}

std::optional<QString> FakeLoginItem::unregisterItem()
{
    calls << QStringLiteral("unregister");
    if (failure)
        return failure;
    enabled = false;
    return std::nullopt;
}
