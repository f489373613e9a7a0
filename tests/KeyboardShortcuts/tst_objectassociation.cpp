#include "KeyboardShortcuts/ObjectAssociation.h"

#include <QTest>

using namespace KeyboardShortcuts;

class TestObjectAssociation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void policyValues();
    void readWriteRemove();
    void slotsAreIndependent();
    void forgetsDestroyedObjects();
    void retainKeepsValueUntilRemoved();
    void assignDoesNotKeepValue();
};

void TestObjectAssociation::policyValues()
{
    QCOMPARE(int(AssociationPolicy::assign), 0);
    QCOMPARE(int(AssociationPolicy::retainNonatomic), 1);
    QCOMPARE(int(AssociationPolicy::copyNonatomic), 3);
    QCOMPARE(int(AssociationPolicy::retain), 769);
    QCOMPARE(int(AssociationPolicy::copy), 771);
}

void TestObjectAssociation::readWriteRemove()
{
    ObjectAssociation<QString> association;
    QObject target;
    QVERIFY(!association.value(&target));
    association.setValue(&target, QStringLiteral("one"));
    QCOMPARE(association.value(&target), std::optional<QString>(QStringLiteral("one")));
    association.setValue(&target, QStringLiteral("two"));
    QCOMPARE(association.value(&target), std::optional<QString>(QStringLiteral("two")));
    association.setValue(&target, std::nullopt);
    QVERIFY(!association.value(&target));
    QVERIFY(!association.contains(&target));
    association.setValue(nullptr, QStringLiteral("ignored"));
    QVERIFY(!association.value(nullptr));
}

void TestObjectAssociation::slotsAreIndependent()
{
    ObjectAssociation<int> first;
    ObjectAssociation<int> second;
    QObject target;
    first.setValue(&target, 1);
    QVERIFY(!second.value(&target));
    second.setValue(&target, 2);
    QCOMPARE(first.value(&target), std::optional(1));
    QCOMPARE(second.value(&target), std::optional(2));
}

void TestObjectAssociation::forgetsDestroyedObjects()
{
    ObjectAssociation<int> association;
    auto target = std::make_unique<QObject>();
    const QObject *address = target.get();
    association.setValue(address, 7);
    target.reset();
    QVERIFY(!association.contains(address));
    // A new object at the same address starts without a value.
    auto next = std::make_unique<QObject>();
    if (next.get() == address)
        QVERIFY(!association.value(next.get()));
}

void TestObjectAssociation::retainKeepsValueUntilRemoved()
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
}

void TestObjectAssociation::assignDoesNotKeepValue()
{
    ObjectAssociation<std::shared_ptr<int>> association(AssociationPolicy::assign);
    QObject target;
    auto value = std::make_shared<int>(5);
    association.setValue(&target, value);
    QCOMPARE(*association.value(&target).value(), 5);
    value.reset();
    QVERIFY(!association.value(&target));
}

QTEST_GUILESS_MAIN(TestObjectAssociation)
#include "tst_objectassociation.moc"
