#include "support/NamespaceLab.h"

#include <QProcess>
#include <QTest>

// The lab the real-client suites stand on: its clients reach the engine's
// side and nothing else, a cut link cuts them off, and nothing is left
// behind.
class TestNamespaceLab : public QObject
{
    Q_OBJECT

    // Reached: a connection to a port nobody listens on is refused at once.
    static bool reaches(const QString &from, const QString &to)
    {
        QProcess probe;
        probe.setProcessChannelMode(QProcess::MergedChannels);
        probe.start("timeout", QStringList {"3"} + NamespaceLab::exec(from) + QStringList {"bash", "-c", "echo > /dev/tcp/" + to + "/9"});
        probe.waitForFinished();
        return probe.readAll().contains("Connection refused");
    }

    static QByteArray namespaces()
    {
        QProcess list;
        list.start("ip", {"netns", "list"});
        list.waitForFinished();
        return list.readAllStandardOutput();
    }

private Q_SLOTS:
    void linksAndLeftovers()
    {
        QByteArray prefix = "vo-" + QByteArray::number(QCoreApplication::applicationPid()) + "-";
        {
            NamespaceLab lab(2);
            if (!lab.ready())
                QSKIP(qPrintable(lab.problem()));
            QVERIFY(reaches(lab.clientNamespace(2), NamespaceLab::EngineAddress));
            QVERIFY(reaches(lab.engineNamespace(), NamespaceLab::ClientAddress(1)));
            QVERIFY(lab.setLinkUp(1, false));
            QVERIFY(!reaches(lab.engineNamespace(), NamespaceLab::ClientAddress(1)));
            QVERIFY(reaches(lab.engineNamespace(), NamespaceLab::ClientAddress(2)));
            QCOMPARE(namespaces().count(prefix), 3);
        }
        QCOMPARE(namespaces().count(prefix), 0);
    }
};

QTEST_GUILESS_MAIN(TestNamespaceLab)
#include "tst_NamespaceLab.moc"
