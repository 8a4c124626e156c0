#include "common/ConsoleConfig.h"
#include "common/modConsoleKey.h"
#include "network/InterfaceAddressTable.h"
#include "network/modNetwork.h"

#include "support/FixedAddressTable.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <arpa/inet.h>

class TestModNetwork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The listener address over a machine's table: stored while it is
    // local, else the first address with the stored value emptied; nothing
    // at all without an address, and the stored choice kept for later.
    void listenerAddress_data()
    {
        QTest::addColumn<QStringList>("local");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("listener");
        QTest::addColumn<QString>("storedAfter");
        const QStringList two {"10.0.0.5", "192.168.1.9"};
        QTest::newRow("stored is local") << two << "192.168.1.9"
                                         << "192.168.1.9"
                                         << "192.168.1.9";
        QTest::newRow("stored address gone") << two << "10.0.0.6"
                                             << "10.0.0.5"
                                             << "";
        QTest::newRow("no local address") << QStringList() << "10.0.0.6"
                                          << ""
                                          << "10.0.0.6";
    }

    void listenerAddress()
    {
        QFETCH(QStringList, local);
        QFETCH(QString, stored);
        QFETCH(QString, listener);
        QFETCH(QString, storedAfter);
        TestRegistry registry;
        FixedAddressTable table(local);
        QVERIFY(modConsoleKey::Prepare());
        const ConsoleConfig config;
        QVERIFY(config.Write(ConsoleConfig::ListenerIP, stored));
        QCOMPARE(modNetwork::GetListenerIP(), listener);
        QCOMPARE(config.Text(ConsoleConfig::ListenerIP), storedAfter);
    }

    void dottedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("dotted");
        QTest::newRow("address") << "192.168.0.1" << true;
        QTest::newRow("bounds") << "0.255.0.255" << true;
        QTest::newRow("part above 255") << "192.168.0.256" << false;
        QTest::newRow("three parts") << "192.168.0" << false;
        QTest::newRow("five parts") << "1.2.3.4.5" << false;
        QTest::newRow("blank around a part") << "192.168.0. 1" << false;
        QTest::newRow("exponent") << "1e2.0.0.1" << false;
        QTest::newRow("sign") << "+1.0.0.1" << false;
        QTest::newRow("empty part") << "1..0.1" << false;
    }

    // The conversion both ways agrees with the C library's, and refuses
    // what the clients' parsers would not take.
    void dottedText()
    {
        QFETCH(QString, text);
        QFETCH(bool, dotted);
        QCOMPARE(modNetwork::IsDottedAddress(text), dotted);
        if (!dotted)
            return;
        in_addr address {};
        QVERIFY(inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1);
        QCOMPARE(modNetwork::DottedToAddress(text), qint64(address.s_addr));
        QCOMPARE(modNetwork::DottedText(address.s_addr), text);
    }

    // What the platform's table gives on this machine: dotted addresses,
    // never 0.0.0.0, loopback only when asked for (every Linux machine has lo).
    void platformTable()
    {
        const InterfaceAddressTable table;
        const QStringList without = table.Addresses(false);
        const QStringList with = table.Addresses(true);
        QVERIFY(with.contains(QStringLiteral("127.0.0.1")));
        for (const QString &address : without)
            QVERIFY2(modNetwork::IsDottedAddress(address) && !address.startsWith(QStringLiteral("127.")), qPrintable(address));
        QVERIFY(!with.contains(QStringLiteral("0.0.0.0")));
        for (const QString &address : without)
            QVERIFY(with.contains(address));
    }
};

QTEST_GUILESS_MAIN(TestModNetwork)
#include "tst_modNetwork.moc"
