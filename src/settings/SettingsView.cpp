#include "settings/SettingsView.h"

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/Recorder.h"
#include "KeyboardShortcuts/ShortcutNotifier.h"
#include "settings/LaunchAtLogin.h"
#include "settings/LoginItem.h"
#include "settings/PastePermission.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int iconSize = 16;
const QColor grantedColor(0x2e, 0x9d, 0x3f);
const QColor missingColor(0xe6, 0x7e, 0x00);

QSettings userDefaults()
{
    return QSettings(QStringLiteral("Halvex"), QStringLiteral("Halvex"));
}

QIcon themeIcon(const QString &name, QStyle::StandardPixmap fallback, const QWidget *widget)
{
    const QIcon icon = QIcon::fromTheme(name);
    return icon.isNull() ? widget->style()->standardIcon(fallback, nullptr, widget) : icon;
}

// The permission symbols are drawn rather than taken from the icon theme so
// that they carry the row's colour on every desktop: a tick in a filled disc,
// or an exclamation mark in a filled triangle.
QPixmap permissionSymbol(bool granted, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(iconSize, iconSize) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, 0.5, iconSize - 1, iconSize - 1);
    p.setPen(Qt::NoPen);
    p.setBrush(granted ? grantedColor : missingColor);
    QPen mark(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (granted) {
        p.drawEllipse(box);
        p.setPen(mark);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(4.5, 8.3), QPointF(7, 10.8), QPointF(11.5, 5.5)}));
    } else {
        QPainterPath triangle;
        triangle.moveTo(box.center().x(), box.top());
        triangle.lineTo(box.right(), box.bottom());
        triangle.lineTo(box.left(), box.bottom());
        triangle.closeSubpath();
        p.drawPath(triangle);
        p.setPen(mark);
        p.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
        p.drawPoint(QPointF(8, 12.5));
    }
    return pixmap;
}

QLabel *iconLabel(const QIcon &icon, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(icon.pixmap(iconSize, iconSize));
    label->setFixedSize(iconSize, iconSize);
    return label;
}

QLabel *sectionHeader(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A grouped-form box: rows on the base colour inside a thin frame.
QFrame *sectionBox(QWidget *parent)
{
    auto *box = new QFrame(parent);
    box->setFrameShape(QFrame::StyledPanel);
    box->setBackgroundRole(QPalette::Base);
    box->setAutoFillBackground(true);
    return box;
}

// Labels on a section box take the box's Base background and so draw in the
// Text role; those outside it use WindowText. Setting both covers either.
void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
}

// Secondary text: between the text and the background colour, darker than
// the disabled colour so that it stays readable.
void setSecondary(QLabel *label)
{
    QPalette palette = label->palette();
    const QColor text = palette.color(QPalette::WindowText);
    const QColor back = palette.color(QPalette::Window);
    const auto mix = [](int a, int b) { return (a * 55 + b * 45) / 100; };
    setTextColor(
        label,
        QColor(mix(text.red(), back.red()), mix(text.green(), back.green()), mix(text.blue(), back.blue())));
}

} // namespace

SettingsView::SettingsView(LoginItem &loginItem, PastePermission &permission, QWidget *parent)
    : QWidget(parent)
    , m_loginItem(loginItem)
    , m_permission(permission)
    , m_hasPermission(permission.isGranted())
{
    setFixedSize(450, 350);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(6);

    // General
    layout->addWidget(sectionHeader(tr("General"), this));
    QFrame *general = sectionBox(this);
    auto *generalRows = new QVBoxLayout(general);
    generalRows->setContentsMargins(10, 6, 10, 6);

    m_openAtLogin = new QCheckBox(tr("Open at Login"), general);
    m_openAtLogin->setObjectName(QStringLiteral("openAtLogin"));
    m_openAtLogin->setIcon(themeIcon(QStringLiteral("system-run"), QStyle::SP_DesktopIcon, this));
    m_openAtLogin->setChecked(userDefaults().value(QLatin1String(openAtLoginKey), false).toBool());
    connect(m_openAtLogin, &QCheckBox::toggled, this, &SettingsView::openAtLoginToggled);
    generalRows->addWidget(m_openAtLogin);

    auto *separator = new QFrame(general);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    generalRows->addWidget(separator);

    m_shortcutRow = new QHBoxLayout;
    m_shortcutRow->addWidget(iconLabel(themeIcon(QStringLiteral("preferences-desktop-keyboard-shortcuts"),
                                                 QStyle::SP_ComputerIcon, this),
                                       general),
                             0, Qt::AlignVCenter);
    m_shortcutRow->addWidget(new QLabel(tr("Global Shortcut"), general), 0, Qt::AlignVCenter);
    m_shortcutRow->addStretch(1);
    // The first use of togglePanel may write its default to the store.
    m_recorder = new KeyboardShortcuts::Recorder("", KeyboardShortcuts::Name::togglePanel(), {}, general);
    m_recorder->setObjectName(QStringLiteral("globalShortcutRecorder"));
    m_shortcutRow->addWidget(m_recorder, 0, Qt::AlignVCenter);
    generalRows->addLayout(m_shortcutRow);
    m_shortcutNote = new QLabel(general);
    m_shortcutNote->setObjectName(QStringLiteral("shortcutNote"));
    m_shortcutNote->setWordWrap(true);
    setSecondary(m_shortcutNote);
    m_shortcutNote->hide();
    generalRows->addWidget(m_shortcutNote);
    m_configLine = new QLabel(general);
    m_configLine->setObjectName(QStringLiteral("shortcutConfigLine"));
    m_configLine->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_configLine->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_configLine->hide();
    generalRows->addWidget(m_configLine);
    m_shortcutProblem = new QLabel(
        tr("The stored shortcut could not be read, so the panel has no shortcut. Click the field and "
           "press a new one."),
        general);
    m_shortcutProblem->setObjectName(QStringLiteral("shortcutProblem"));
    m_shortcutProblem->setWordWrap(true);
    setTextColor(m_shortcutProblem, missingColor);
    generalRows->addWidget(m_shortcutProblem);
    connect(&KeyboardShortcuts::notifier(), &KeyboardShortcuts::ShortcutNotifier::shortcutByNameDidChange,
            this, [this](const KeyboardShortcuts::Name &name) {
                if (name != KeyboardShortcuts::Name::togglePanel())
                    return;
                updateShortcutProblem();
                updateConfigLine();
            });
    updateShortcutProblem();
    layout->addWidget(general);

    layout->addSpacing(12);

    // Permissions
    layout->addWidget(sectionHeader(tr("Permissions"), this));
    QFrame *permissions = sectionBox(this);
    auto *permissionRows = new QVBoxLayout(permissions);
    permissionRows->setContentsMargins(10, 6, 10, 6);
    auto *permissionRow = new QHBoxLayout;
    m_permissionIcon = new QLabel(permissions);
    m_permissionIcon->setFixedSize(iconSize, iconSize);
    m_permissionLabel = new QLabel(tr("Accessibility"), permissions);
    m_permissionLabel->setObjectName(QStringLiteral("permissionLabel"));
    m_granted = new QLabel(tr("Granted"), permissions);
    m_granted->setObjectName(QStringLiteral("granted"));
    setSecondary(m_granted);
    m_requestAccess = new QPushButton(tr("Request Access"), permissions);
    m_requestAccess->setObjectName(QStringLiteral("requestAccess"));
    connect(m_requestAccess, &QPushButton::clicked, this, &SettingsView::requestAccess);
    permissionRow->addWidget(m_permissionIcon, 0, Qt::AlignVCenter);
    permissionRow->addWidget(m_permissionLabel, 0, Qt::AlignVCenter);
    permissionRow->addStretch(1);
    permissionRow->addWidget(m_granted, 0, Qt::AlignVCenter);
    permissionRow->addWidget(m_requestAccess, 0, Qt::AlignVCenter);
    permissionRows->addLayout(permissionRow);
    m_permissionExplanation = new QLabel(permissions);
    m_permissionExplanation->setObjectName(QStringLiteral("permissionExplanation"));
    m_permissionExplanation->setWordWrap(true);
    setSecondary(m_permissionExplanation);
    permissionRows->addWidget(m_permissionExplanation);
    layout->addWidget(permissions);

    auto *footer = new QLabel(
        tr("Accessibility permissions are required to paste items directly into other apps."), this);
    footer->setWordWrap(true);
    QFont footerFont = footer->font();
    footerFont.setPointSizeF(footerFont.pointSizeF() * 0.9);
    footer->setFont(footerFont);
    setSecondary(footer);
    layout->addWidget(footer);
    layout->addStretch(1);

    m_permissionTimer.setInterval(1000);
    connect(&m_permissionTimer, &QTimer::timeout, this,
            [this] { setHasPastePermission(m_permission.isGranted()); });
    updatePermissionRow();
}

bool SettingsView::openAtLogin() const
{
    return m_openAtLogin->isChecked();
}

void SettingsView::updateShortcutProblem()
{
    m_shortcutProblem->setVisible(
        KeyboardShortcuts::hasUnreadableShortcut(KeyboardShortcuts::Name::togglePanel()));
}

void SettingsView::refresh()
{
    updateShortcutProblem();
    // The login item is the authority: a differing stored choice is
    // overwritten, and that change goes through openAtLoginToggled like a
    // click would.
    m_openAtLogin->setChecked(m_loginItem.isEnabled());
    setHasPastePermission(m_permission.isGranted());
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    m_permissionTimer.start();
}

void SettingsView::hideEvent(QHideEvent *event)
{
    m_permissionTimer.stop();
    QWidget::hideEvent(event);
}

void SettingsView::openAtLoginToggled(bool enabled)
{
    userDefaults().setValue(QLatin1String(openAtLoginKey), enabled);
    updateLaunchAtLogin(m_loginItem, enabled);
}

void SettingsView::setHasPastePermission(bool granted)
{
    if (granted == m_hasPermission)
        return;
    m_hasPermission = granted;
    updatePermissionRow();
}

void SettingsView::requestAccess()
{
    m_hasPermission = m_permission.request();
    updatePermissionRow();
}

void SettingsView::setShortcutNote(const QString &note,
                                   std::function<QString(const KeyboardShortcuts::Shortcut &)> configLine)
{
    m_shortcutNote->setText(note);
    m_shortcutNote->setVisible(!note.isEmpty());
    m_configLineOf = std::move(configLine);
    updateConfigLine();
    // The form is 350 high; a note makes it taller.
    setFixedHeight(qMax(350, sizeHint().height()));
}

QString SettingsView::shortcutNote() const
{
    return m_shortcutNote->text();
}

QString SettingsView::shortcutConfigLine() const
{
    return m_configLine->text();
}

void SettingsView::updateConfigLine()
{
    const std::optional<KeyboardShortcuts::Shortcut> shortcut
        = KeyboardShortcuts::getShortcut(KeyboardShortcuts::Name::togglePanel());
    const QString line = m_configLineOf && shortcut ? m_configLineOf(*shortcut) : QString();
    m_configLine->setText(line);
    m_configLine->setVisible(!line.isEmpty());
}

void SettingsView::updatePermissionRow()
{
    // Without any way to send keystrokes there is nothing to grant or ask
    // for: the row says what the user does instead.
    const bool supported = m_permission.isSupported();
    m_permissionIcon->setPixmap(permissionSymbol(m_hasPermission, devicePixelRatioF()));
    setTextColor(m_permissionLabel, m_hasPermission ? grantedColor : missingColor);
    m_granted->setText(supported ? tr("Granted") : tr("Paste with Ctrl+V yourself"));
    m_granted->setVisible(m_hasPermission || !supported);
    m_requestAccess->setVisible(!m_hasPermission && supported);
    const QString explanation = m_hasPermission ? QString() : m_permission.missingExplanation();
    m_permissionExplanation->setText(explanation);
    m_permissionExplanation->setVisible(!explanation.isEmpty());
}

bool SettingsView::showsShortcutProblem() const
{
    return !m_shortcutProblem->isHidden();
}
