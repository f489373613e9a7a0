#pragma once

#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/RecorderController.h"

#include <QWidget>

#include <functional>

namespace KeyboardShortcuts {

class RecorderField;

// The recorder as forms place it: the recorder field, optionally preceded by
// a label.
class Recorder : public QWidget
{
    Q_OBJECT

public:
    using OnChange = RecorderController::OnChange;

    // Without a label.
    explicit Recorder(const Name &name, OnChange onChange = {}, QWidget *parent = nullptr);
    // Labelled with the application's translation of titleKey.
    Recorder(const char *titleKey, const Name &name, OnChange onChange = {}, QWidget *parent = nullptr);
    // Labelled with title as it is.
    Recorder(const QString &title, const Name &name, OnChange onChange = {}, QWidget *parent = nullptr);
    // Labelled with the widget that label builds.
    Recorder(const Name &name, OnChange onChange, const std::function<QWidget *()> &label,
             QWidget *parent = nullptr);

    bool hasLabel() const { return m_label != nullptr; }
    QWidget *label() const { return m_label; }
    RecorderField *field() const { return m_field; }

    const Name &name() const;
    // Shows and edits another name's shortcut; the change callback stays.
    void setName(const Name &name);

private:
    void build(const Name &name, OnChange onChange, QWidget *label);

    QWidget *m_label = nullptr;
    RecorderField *m_field = nullptr;
};

} // namespace KeyboardShortcuts
