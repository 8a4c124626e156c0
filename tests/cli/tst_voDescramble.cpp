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

    QString write(const QString &name, const QByteArray &bytes) { return writeFile(m_dir.filePath(name), bytes); }

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

        const VoRun shown = vo({"descramble", "--show-passwords", file});
        QCOMPARE(shown.status, 0);
        QCOMPARE(QString::fromUtf8(shown.out), text);

        const VoRun masked = vo({"descramble", file});
        QCOMPARE(masked.status, 0);
        QString expected = text;
        for (const char *key : {"VARNOPASS=", "DESTSIDPASS=", "JOINDOMPASS=", "SOURCESIDPASS="}) {
            const int index = static_cast<int>(ClientConfig::Keys().indexOf(QLatin1String(key)));
            expected.replace(
                QLatin1String(key) + values.at(index) + QLatin1Char('\n'), QLatin1String(key) + QStringLiteral("<password>\n"));
        }
        QVERIFY(expected.contains(QStringLiteral("\nOSKPASS=\n")));
        QCOMPARE(QString::fromUtf8(masked.out), expected);
        const VoRun help = vo({"descramble", "--help"});
        QVERIFY(help.status == 0 && help.out.contains("--show-passwords"));
    }

    void refusesWhatItCannotRead()
    {
        const VoRun plain = vo({"descramble", write("plain.cfg", "key=value\r\n")});
        QVERIFY(plain.status == 1 && plain.out.isEmpty() && plain.err.contains("not a scrambled configuration file"));
        QCOMPARE(vo({"descramble", m_dir.filePath("none.cfg")}).status, 1);
        const VoRun bare = vo({"descramble"});
        QVERIFY(bare.status == 1 && bare.err.startsWith("Usage: vo descramble [--show-passwords] FILE"));
    }
};

QTEST_GUILESS_MAIN(TestVoDescramble)
#include "tst_voDescramble.moc"
