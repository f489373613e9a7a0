#pragma once

#include <QHash>
#include <QObject>

#include <memory>
#include <optional>
#include <type_traits>

namespace KeyboardShortcuts {

// How an association holds its values. The numbers are those of the
// Objective-C runtime's policies, kept so that the cases keep their meaning;
// here the atomic and non-atomic cases behave alike (main thread only).
enum class AssociationPolicy {
    assign = 0, // non-owning: for std::shared_ptr values only a weak reference is kept
    retainNonatomic = 1,
    copyNonatomic = 3,
    retain = 0x301,
    copy = 0x303,
};

// One slot of type T on every QObject, without subclassing the object: a side
// table keyed by the object (and, by being a separate instance, by the
// association). An object's value is forgotten as soon as the object is
// destroyed. Each instance is its own slot, even for the same T.
template<typename T> class ObjectAssociation
{
public:
    explicit ObjectAssociation(AssociationPolicy policy = AssociationPolicy::retainNonatomic)
        : m_policy(policy)
    { }
    ObjectAssociation(const ObjectAssociation &) = delete;
    ObjectAssociation &operator=(const ObjectAssociation &) = delete;

    AssociationPolicy policy() const { return m_policy; }

    // The value attached to target, if any.
    std::optional<T> value(const QObject *target) const
    {
        const auto it = m_entries.constFind(target);
        if (it == m_entries.cend())
            return std::nullopt;
        if constexpr (isSharedPointer) {
            if (m_policy == AssociationPolicy::assign) {
                if (T strong = it->weak.lock())
                    return strong;
                return std::nullopt;
            }
        }
        return it->value;
    }

    // Attaches value to target, replacing an earlier one; none removes it.
    void setValue(const QObject *target, std::optional<T> value)
    {
        if (!target)
            return;
        if (!value) {
            remove(target);
            return;
        }
        auto it = m_entries.find(target);
        if (it == m_entries.end()) {
            Entry entry;
            entry.connection = QObject::connect(target, &QObject::destroyed, &m_context,
                                                [this, target] { m_entries.remove(target); });
            it = m_entries.insert(target, std::move(entry));
        }
        if constexpr (isSharedPointer) {
            if (m_policy == AssociationPolicy::assign) {
                it->weak = *value;
                it->value = T();
                return;
            }
        }
        it->value = std::move(*value);
    }

    bool contains(const QObject *target) const { return m_entries.contains(target); }

private:
    template<typename U> struct IsSharedPointer : std::false_type
    {
    };
    template<typename U> struct IsSharedPointer<std::shared_ptr<U>> : std::true_type
    {
    };
    static constexpr bool isSharedPointer = IsSharedPointer<T>::value;

    struct Weak
    {
    };
    struct Entry
    {
        T value {};
        std::conditional_t<isSharedPointer,
                           std::weak_ptr<typename std::pointer_traits<
                               std::conditional_t<isSharedPointer, T, int *>>::element_type>,
                           Weak>
            weak {};
        QMetaObject::Connection connection;
    };

    void remove(const QObject *target)
    {
        const auto it = m_entries.find(target);
        if (it == m_entries.end())
            return;
        QObject::disconnect(it->connection);
        m_entries.erase(it);
    }

    const AssociationPolicy m_policy;
    // Receiver of the destroyed() connections: they end with the association.
    QObject m_context;
    QHash<const QObject *, Entry> m_entries;
};

} // namespace KeyboardShortcuts
