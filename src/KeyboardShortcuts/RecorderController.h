#pragma once

#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/Shortcut.h"

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <optional>

namespace KeyboardShortcuts {

class RecorderHost;

// A key press as the recorder judges it, independent of the toolkit's event.
struct RecorderKeyPress
{
    // The platform's name for the key, where the rules care about it.
    enum class Kind {
        Other,
        Tab,
        Delete, // backspace, delete or forward delete
        FunctionKey, // F1 to F35
    };

    // The physical key (Carbon numbering), or nothing when the platform's key
    // has no counterpart.
    std::optional<int> carbonKeyCode;
    // Carbon modifier bits as the event carries them, including the function
    // bit and Caps Lock where the platform reports them.
    int carbonModifiers = 0;
    Kind kind = Kind::Other;
};

// The shortcut recorder's behaviour, apart from any widget: what it shows,
// when it records, and how each key press and click is judged while it does.
// The control feeds it focus changes and the events it intercepts, and does
// what it asks through RecorderHost.
class RecorderController : public QObject
{
    Q_OBJECT

public:
    using OnChange = std::function<void(const std::optional<Shortcut> &)>;

    enum class Disposition { Pass, Swallow };

    // Width of the control and the margin around it within which a click
    // does not end recording.
    static constexpr int controlWidth = 130;
    static constexpr qreal clickMargin = 3;

    RecorderController(const Name &name, RecorderHost &host, OnChange onChange = {},
                       QObject *parent = nullptr);

    const Name &shortcutName() const { return m_name; }
    // A different name shows that name's shortcut; an equal one changes
    // nothing.
    void setShortcutName(const Name &name);

    QString text() const { return m_text; }
    // A key of the subsystem's catalogue: "record_shortcut" or
    // "press_shortcut", or "unreadable_shortcut" while not recording when
    // the stored value could not be read.
    QString placeholderKey() const { return m_placeholderKey; }
    // The name's stored value is there but is no shortcut
    // (hasUnreadableShortcut()).
    bool isStoredValueUnreadable() const { return m_storedValueUnreadable; }
    bool isClearButtonVisible() const { return m_clearButtonVisible; }
    bool isCaretVisible() const { return m_caretVisible; }
    bool isRecording() const { return m_recording; }

    // The control got the focus: starts recording unless it has no window.
    bool beginRecording();
    // The control lost the focus (or its window): stops recording. Every call
    // clears the pause and announces the end, recording or not.
    void endRecording();

    // The judgement of an event seen while recording: whether it goes on to
    // the application. bounds is the control's rectangle in the coordinates
    // of position.
    Disposition handleMouseRelease(QPointF position, QRectF bounds);
    Disposition handleKeyPress(const RecorderKeyPress &press);

    // The clear button: empties the text, which removes the stored shortcut.
    void clear();

Q_SIGNALS:
    // The text, placeholder, clear button or caret changed.
    void displayChanged();

private:
    void updateStringValue();
    void textDidChange(const QString &text);
    void showsCancelButton();
    QString idlePlaceholder() const;
    void accept(const Shortcut &shortcut);

    Name m_name;
    RecorderHost &m_host;
    OnChange m_onChange;
    QString m_text;
    QString m_placeholderKey;
    bool m_clearButtonVisible = false;
    bool m_caretVisible = true;
    bool m_recording = false;
    bool m_storedValueUnreadable = false;
};

} // namespace KeyboardShortcuts
