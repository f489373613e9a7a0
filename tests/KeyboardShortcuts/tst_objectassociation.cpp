#include "KeyboardShortcuts/ObjectAssociation.h"

#include <QTest>

using namespace KeyboardShortcuts;

class TestObjectAssociation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readWriteRemove()
    {
        ObjectAssociation<QString> association;
        ObjectAssociation<QString> other;
        QObject target;
        QVERIFY(!association.value(&target));
        association.setValue(&target, QStringLiteral("one"));
        association.setValue(&target, QStringLiteral("two"));
        QCOMPARE(association.value(&target), std::optional<QString>(QStringLiteral("two")));
        // Every association is a slot of its own.
        QVERIFY(!other.value(&target));
        other.setValue(&target, QStringLiteral("other"));
        QCOMPARE(association.value(&target), std::optional<QString>(QStringLiteral("two")));

        association.setValue(&target, std::nullopt);
        QVERIFY(!association.contains(&target));
        QCOMPARE(other.value(&target), std::optional<QString>(QStringLiteral("other")));
        association.setValue(nullptr, QStringLiteral("ignored"));
        QVERIFY(!association.value(nullptr));
    }

    void forgetsDestroyedObjects()
    {
        ObjectAssociation<int> association;
        auto target = std::make_unique<QObject>();
        const QObject *address = target.get();
        association.setValue(address, 7);
        target.reset();
        // A new object at the same address must not inherit the value.
        QVERIFY(!association.contains(address));
    }

    // Retained values live until removed or until their object goes;
    // assigned ones only as long as their owner keeps them.
    void retainAndAssign()
    {
        ObjectAssociation<std::shared_ptr<int>> association(AssociationPolicy::retainNonatomic);
        QObject target;
        auto value = std::make_shared<int>(5);
        std::weak_ptr<int> watch = value;
        association.setValue(&target, std::move(value));
        QVERIFY(!watch.expired());
        association.setValue(&target, std::nullopt);
        QVERIFY(watch.expired());

        auto again = std::make_shared<int>(6);
        watch = again;
        {
            QObject shortLived;
            association.setValue(&shortLived, std::move(again));
            QVERIFY(!watch.expired());
        }
        QVERIFY(watch.expired());

        ObjectAssociation<std::shared_ptr<int>> assigned(AssociationPolicy::assign);
        auto owned = std::make_shared<int>(7);
        assigned.setValue(&target, owned);
        QCOMPARE(*assigned.value(&target).value(), 7);
        owned.reset();
        QVERIFY(!assigned.value(&target));
    }
};

QTEST_GUILESS_MAIN(TestObjectAssociation)
#include "tst_objectassociation.moc"
