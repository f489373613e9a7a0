#pragma once

#include <QWidget>

// The borderless window that carries the quick-paste view over whatever the
// user is working in: frameless, above other windows (full-screen ones
// included), without a taskbar entry, and able to take the keyboard although
// it has no title bar. Created once and shown again and again.
class FloatingPanel : public QWidget
{
    Q_OBJECT
public:
    explicit FloatingPanel(QWidget *parent = nullptr);

    // Makes content the panel's only child; the panel takes its size.
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }

    // Translucent corners need a compositor. Without one the panel is shaped
    // to its rounded rectangle instead and painted opaque.
    void setTranslucent(bool translucent);
    bool isTranslucent() const { return m_translucent; }

    // Centres the panel on the given screen area and shows it in front. The
    // caller asks for the keyboard focus (activateWindow(), or on X11 with
    // the time of the user's action).
    void present(const QRect &screenArea);

Q_SIGNALS:
    // The panel lost the keyboard to another window.
    void deactivated();
    // The panel got the keyboard.
    void activated();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateShape();

    QWidget *m_content = nullptr;
    bool m_translucent = false;
};
