#include "KeyboardShortcuts/Recorder.h"

#include "KeyboardShortcuts/RecorderField.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>

namespace KeyboardShortcuts {

Recorder::Recorder(const Name &name, OnChange onChange, QWidget *parent)
    : QWidget(parent)
{
    build(name, std::move(onChange), nullptr);
}

Recorder::Recorder(const char *titleKey, const Name &name, OnChange onChange, QWidget *parent)
    : QWidget(parent)
{
    build(name, std::move(onChange), new QLabel(QCoreApplication::translate("Recorder", titleKey), this));
}

Recorder::Recorder(const QString &title, const Name &name, OnChange onChange, QWidget *parent)
    : QWidget(parent)
{
    build(name, std::move(onChange), new QLabel(title, this));
}

Recorder::Recorder(const Name &name, OnChange onChange, const std::function<QWidget *()> &label,
                   QWidget *parent)
    : QWidget(parent)
{
    QWidget *built = label ? label() : nullptr;
    if (!built)
        built = new QWidget(this);
    built->setParent(this);
    build(name, std::move(onChange), built);
}

void Recorder::build(const Name &name, OnChange onChange, QWidget *label)
{
    m_label = label;
    m_field = new RecorderField(name, std::move(onChange), this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (m_label)
        layout->addWidget(m_label, 0, Qt::AlignVCenter);
    layout->addWidget(m_field, 0, Qt::AlignVCenter);
}

const Name &Recorder::name() const
{
    return m_field->shortcutName();
}

void Recorder::setName(const Name &name)
{
    m_field->setShortcutName(name);
}

} // namespace KeyboardShortcuts
