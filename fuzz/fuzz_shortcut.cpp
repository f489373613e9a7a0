// A stored shortcut is text from the settings file, which anyone may have
// edited. Decoding it must never crash; what decodes must encode back to the
// same shortcut; and its display texts must be computable for any values.

#include "KeyboardShortcuts/KeyboardLayout.h"
#include "KeyboardShortcuts/Shortcut.h"
#include "KeyboardShortcuts/ShortcutServices.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// A layout in which every key types a letter, so that the character paths
// of the texts run too.
class LetterLayout : public KeyboardShortcuts::KeyboardLayout
{
public:
    std::optional<QString> unshiftedText(int carbonKeyCode) const override
    {
        if (carbonKeyCode < 0 || carbonKeyCode % 7 == 0)
            return std::nullopt;
        return QString(QChar(u'a' + carbonKeyCode % 26));
    }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    KeyboardShortcuts::ShortcutServices services;
    services.keyboardLayout = std::make_shared<LetterLayout>();
    KeyboardShortcuts::setShortcutServices(services);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using KeyboardShortcuts::Shortcut;
    const QByteArrayView json(reinterpret_cast<const char *>(data), qsizetype(size));
    // The store hands the decoder the UTF-8 of the text it read.
    for (const QByteArray &stored : {json.toByteArray(), QString::fromUtf8(json).toUtf8()}) {
        const std::optional<Shortcut> shortcut = Shortcut::fromJson(stored);
        if (!shortcut)
            continue;
        const std::optional<Shortcut> again = Shortcut::fromJson(shortcut->toJson());
        check(again && *again == *shortcut);
        check(!shortcut->description().isEmpty());
        (void)shortcut->nativeText();
        (void)shortcut->keySequence();
        (void)shortcut->menuItemKeyEquivalent();
        (void)Shortcut::modifierSymbols(shortcut->carbonModifiers());
    }
    return 0;
}
