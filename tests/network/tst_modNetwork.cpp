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
        const auto row = [](const char *tag, const QStringList &local, const char *stored, const char *listener, const char *after) {
            QTest::newRow(tag) << local << QString::fromLatin1(stored) << QString::fromLatin1(listener) << QString::fromLatin1(after);
        };
        const QStringList two {"10.0.0.5", "192.168.1.9"};
        row("stored is local", two, "192.168.1.9", "192.168.1.9", "192.168.1.9");
        row("stored address gone", two, "10.0.0.6", "10.0.0.5", "");
        row("no local address", {}, "10.0.0.6", "", "10.0.0.6");
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

    // The conversion both ways agrees with the C library's byte order;
    // what it refuses is in the rows below.
    void dottedText()
    {
        for (const QString text : {"192.168.0.1", "0.255.1.254"}) {
            in_addr address {};
            QVERIFY(inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1);
            QCOMPARE(modNetwork::DottedToAddress(text), qint64(address.s_addr));
            QCOMPARE(modNetwork::DottedText(address.s_addr), text);
        }
    }

    // Only exactly four parts of one to three ASCII digits, each 0 to 255,
    // are an address; "010" is ten, never the C library's octal eight.
    void dottedRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("address");
        QTest::newRow("leading zero is decimal") << "010.0.0.1" << qint64(htonl(0x0A000001));
        QTest::newRow("all zero") << "0.0.0.0" << qint64(0);
        QTest::newRow("three parts") << "1.2.3" << qint64(-1);
        QTest::newRow("part above 255") << "256.1.1.1" << qint64(-1);
        QTest::newRow("leading blank") << " 1.2.3.4" << qint64(-1);
        QTest::newRow("trailing dot") << "1.2.3.4." << qint64(-1);
        QTest::newRow("four digits") << "0001.2.3.4" << qint64(-1);
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("1.2.3.\u0664") << qint64(-1);
    }

    void dottedRule()
    {
        QFETCH(QString, text);
        QFETCH(qint64, address);
        QCOMPARE(modNetwork::DottedToAddress(text), address);
        QCOMPARE(modNetwork::IsDottedAddress(text), address != -1);
    }

    // The platform's resolver: this machine's own name for loopback, and
    // nothing for an empty name rather than this machine's address.
    void resolve()
    {
        QVERIFY(modNetwork::ResolveHost(QStringLiteral("localhost")).startsWith(QStringLiteral("127.")));
        QCOMPARE(modNetwork::ResolveHost(QString()), QString());
    }

    // What the platform's table gives on this machine: dotted addresses,
    // never 0.0.0.0, and loopback ones only when asked for.
    void platformTable()
    {
        const InterfaceAddressTable table;
        const QStringList with = table.Addresses(true);
        QVERIFY(!with.contains(QStringLiteral("0.0.0.0")));
        const QStringList without = table.Addresses(false);
        for (const QString &address : without)
            QVERIFY2(modNetwork::IsDottedAddress(address) && !modNetwork::IsLoopbackAddress(address) && with.contains(address),
                qPrintable(address));
        // The loopback ones last, as the configuration dialog lists them.
        QVERIFY(with.contains(QStringLiteral("127.0.0.1")));
        QCOMPARE(with.mid(0, without.size()), without);
        // A stored loopback address is kept; none is ever chosen for the administrator.
        TestRegistry registry;
        QVERIFY(modConsoleKey::Prepare());
        QVERIFY(ConsoleConfig().Write(ConsoleConfig::ListenerIP, QStringLiteral("127.0.0.1")));
        QCOMPARE(modNetwork::GetListenerIP(), QStringLiteral("127.0.0.1"));
        QVERIFY(ConsoleConfig().Write(ConsoleConfig::ListenerIP, QString()));
        QCOMPARE(modNetwork::GetListenerIP(), without.value(0));
    }
};

QTEST_GUILESS_MAIN(TestModNetwork)
#include "tst_modNetwork.moc"
