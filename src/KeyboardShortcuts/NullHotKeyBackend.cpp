#include "KeyboardShortcuts/NullHotKeyBackend.h"

#include "KeyboardShortcuts/NativeKeyCodeMap.h"

namespace KeyboardShortcuts {

namespace {

class NoKeyCodes final : public NativeKeyCodeMap
{
public:
    std::optional<int> carbonKeyCode(quint32) const override { return std::nullopt; }
    std::optional<quint32> nativeScanCode(int) const override { return std::nullopt; }
};

} // namespace

NullHotKeyBackend::NullHotKeyBackend(QObject *parent)
    : HotKeyBackend(parent)
    , m_keyCodes(std::make_unique<NoKeyCodes>())
{ }

NullHotKeyBackend::~NullHotKeyBackend() = default;

int NullHotKeyBackend::registerHotKey(quint32, const Shortcut &)
{
    return NotSupported;
}

void NullHotKeyBackend::unregisterHotKey(quint32) { }

const NativeKeyCodeMap &NullHotKeyBackend::keyCodes() const
{
    return *m_keyCodes;
}

} // namespace KeyboardShortcuts
