#include "engine/ClientConfig.h"
#include "engine/modScramble.h"

#include "support/VoProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestVoDescramble : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(bytes);
        return file.fileName();
    }

private Q_SLOTS:
    void printsThePlainText()
    {
        QStringList values;
        for (qsizetype i = 0; i < ClientConfig::Keys().size(); ++i)
            values << QStringLiteral("value %1").arg(i);
        values[0] = ClientConfig::Version;
        const QString text = ClientConfig::Compose(values);
        const VoRun run = vo({QStringLiteral("descramble"), write(QStringLiteral("varnoosk.cfg"), modScramble::Scramble(text))});
        QCOMPARE(run.status, 0);
        QCOMPARE(QString::fromUtf8(run.out), QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(run.err.isEmpty());
    }

    void refusesWhatIsNotScrambled()
    {
        const VoRun run = vo({QStringLiteral("descramble"), write(QStringLiteral("plain.cfg"), "key=value\r\n")});
        QCOMPARE(run.status, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains("not a scrambled configuration file"));
    }

    void missingFileAndUsage()
    {
        QCOMPARE(vo({QStringLiteral("descramble"), m_dir.filePath(QStringLiteral("none.cfg"))}).status, 1);
        const VoRun bare = vo({QStringLiteral("descramble")});
        QCOMPARE(bare.status, 1);
        QVERIFY(bare.err.startsWith("Usage: vo descramble FILE"));
        QCOMPARE(vo({QStringLiteral("descramble"), QStringLiteral("--help")}).status, 0);
    }
};

QTEST_GUILESS_MAIN(TestVoDescramble)
#include "tst_voDescramble.moc"
