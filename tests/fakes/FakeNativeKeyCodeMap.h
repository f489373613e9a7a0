#pragma once

#include "KeyboardShortcuts/NativeKeyCodeMap.h"

#include <QHash>

// A native key-code map whose pairs a test sets.
class FakeNativeKeyCodeMap final : public KeyboardShortcuts::NativeKeyCodeMap
{
public:
    void add(quint32 nativeScanCode, int carbonKeyCode)
    {
        m_toCarbon.insert(nativeScanCode, carbonKeyCode);
        m_toNative.insert(carbonKeyCode, nativeScanCode);
    }

    std::optional<int> carbonKeyCode(quint32 nativeScanCode) const override
    {
        const auto it = m_toCarbon.constFind(nativeScanCode);
        return it == m_toCarbon.cend() ? std::nullopt : std::optional<int>(*it);
    }
    std::optional<quint32> nativeScanCode(int carbonKeyCode) const override
    {
        const auto it = m_toNative.constFind(carbonKeyCode);
        return it == m_toNative.cend() ? std::nullopt : std::optional<quint32>(*it);
    }

private:
    QHash<quint32, int> m_toCarbon;
    QHash<int, quint32> m_toNative;
};
