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
    // Passwords show only when asked for; an empty one stays visibly empty.
    void printsThePlainTextWithPasswordsMasked()
    {
        QStringList values;
        for (qsizetype i = 0; i < ClientConfig::Keys().size(); ++i)
            values << QStringLiteral("value %1").arg(i);
        values[0] = ClientConfig::Version;
        values[ClientConfig::Keys().indexOf(QStringLiteral("OSKPASS="))].clear();
        const QString text = QString(ClientConfig::Compose(values)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QString file = write(QStringLiteral("varnoosk.cfg"), modScramble::Scramble(ClientConfig::Compose(values)));

        const VoRun shown = vo({QStringLiteral("descramble"), QStringLiteral("--show-passwords"), file});
        QCOMPARE(shown.status, 0);
        QCOMPARE(QString::fromUtf8(shown.out), text);
        QVERIFY(shown.err.isEmpty());

        const VoRun masked = vo({QStringLiteral("descramble"), file});
        QCOMPARE(masked.status, 0);
        QString expected = text;
        for (const char *key : {"VARNOPASS=", "DESTSIDPASS=", "JOINDOMPASS=", "SOURCESIDPASS="}) {
            const int index = static_cast<int>(ClientConfig::Keys().indexOf(QLatin1String(key)));
            expected.replace(
                QLatin1String(key) + values.at(index) + QLatin1Char('\n'), QLatin1String(key) + QStringLiteral("<password>\n"));
        }
        QVERIFY(expected.contains(QStringLiteral("\nOSKPASS=\n")));
        QCOMPARE(QString::fromUtf8(masked.out), expected);
        QVERIFY(vo({QStringLiteral("descramble"), QStringLiteral("--help")}).out.contains("--show-passwords"));
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
        QVERIFY(bare.err.startsWith("Usage: vo descramble [--show-passwords] FILE"));
        QCOMPARE(vo({QStringLiteral("descramble"), QStringLiteral("--help")}).status, 0);
    }
};

QTEST_GUILESS_MAIN(TestVoDescramble)
#include "tst_voDescramble.moc"
