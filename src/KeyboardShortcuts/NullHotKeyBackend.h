#pragma once

#include "KeyboardShortcuts/HotKeyBackend.h"

#include <memory>

namespace KeyboardShortcuts {

// Stands in where the platform has no global hotkeys: every registration
// fails with NotSupported, which the hotkey layer reports like any failure.
class NullHotKeyBackend final : public HotKeyBackend
{
    Q_OBJECT
public:
    static constexpr int NotSupported = -1;

    explicit NullHotKeyBackend(QObject *parent = nullptr);
    ~NullHotKeyBackend() override;

    int registerHotKey(quint32 id, const Shortcut &shortcut) override;
    void unregisterHotKey(quint32 id) override;
    const NativeKeyCodeMap &keyCodes() const override;

private:
    std::unique_ptr<NativeKeyCodeMap> m_keyCodes;
};

} // namespace KeyboardShortcuts
