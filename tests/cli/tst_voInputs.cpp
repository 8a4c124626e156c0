#include "support/VoProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// Every file vo reads whole is refused when it is a device or a pipe, which
// may never end (or, a pipe without a writer, never open), and when it is
// larger than its kind of file can be; the command names the file and exits.
class TestVoInputs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_settings = QStringLiteral(VO_SOURCE_DIR "/examples/example-settings.vos.json");

    QString fifo()
    {
        const QString path = m_dir.filePath(QStringLiteral("fifo"));
        if (!QFile::exists(path))
            ::mkfifo(QFile::encodeName(path).constData(), 0600);
        return path;
    }

    // A sparse file one byte over `limit`: no disk, and never read.
    QString oversized(const QString &name, qint64 limit)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(limit + 1))
            return QString();
        return file.fileName();
    }

private Q_SLOTS:
    void refusesEndlessAndOversizedInputs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");

        const QString notRegular = QStringLiteral("it is not a regular file");
        const QString tooLarge = QStringLiteral("it is larger than");
        const auto importing = [this](const QStringList &files) {
            return QStringList {"import-computers", "127.0.0.1", "--user", "u", "--domain", "D", "--into", m_dir.filePath("into.vos.json"),
                       "--password-file"}
            + files;
        };
        for (const QString &endless : {QStringLiteral("/dev/zero"), fifo()}) {
            const QByteArray at = " " + endless.toUtf8();
            QTest::newRow("import password" + at) << importing({endless}) << notRegular;
            QTest::newRow("import CA" + at) << importing({m_settings, "--starttls", "--ca", endless}) << notRegular;
            QTest::newRow("import passphrase" + at) << importing({m_settings, "--passphrase-file", endless}) << notRegular;
            QTest::newRow("descramble" + at) << QStringList {"descramble", endless} << notRegular;
            QTest::newRow("tree passphrase" + at) << QStringList {"tree", m_settings, "--passphrase-file", endless} << notRegular;
            QTest::newRow("validate passphrase" + at) << QStringList {"validate", m_settings, "--passphrase-file", endless} << notRegular;
            QTest::newRow("run profile" + at) << QStringList {"run", m_settings, "--rehearsal", "--profile", endless} << notRegular;
            QTest::newRow("tree settings" + at) << QStringList {"tree", endless} << notRegular;
        }
        QTest::newRow("descramble folder") << QStringList {"descramble", m_dir.path()} << notRegular;
        QTest::newRow("descramble large") << QStringList {"descramble", oversized("large.cfg", 1 << 20)} << tooLarge;
        QTest::newRow("passphrase large") << QStringList {"export", m_settings, "--out", m_dir.filePath("out"), "--passphrase-file",
            oversized("pass", 64 * 1024)} << tooLarge;
        QTest::newRow("profile large") << QStringList {"run", m_settings, "--rehearsal", "--profile", oversized("profile", 1 << 20)}
                                       << tooLarge;
        QTest::newRow("settings large") << QStringList {"tree", oversized("large.vos.json", qint64(2) << 30)} << tooLarge;
    }

    void refusesEndlessAndOversizedInputs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const VoRun run = vo(arguments);
        QCOMPARE(run.status, 1);
        const QString err = QString::fromUtf8(run.err);
        QVERIFY2(err.contains(message), qPrintable(err));
        const QString file = arguments.at(arguments.size() - 1);
        QVERIFY2(err.contains(QLatin1Char('"') + file + QLatin1Char('"')), qPrintable(err));
    }

    // A question answered from a device that never ends a line.
    void endlessAnswerIsNoAnswer()
    {
        qputenv("VARNO_OSK_REGISTRY", QFile::encodeName(m_dir.filePath(QStringLiteral("registry.db"))));
        QCOMPARE(vo({"reg", "add", "HKCU\\Software\\Brindlewood", "/v", "A", "/d", "1", "/f"}).status, 0);
        QProcess process;
        process.setStandardInputFile(QStringLiteral("/dev/zero"));
        process.start(QStringLiteral(VO_EXECUTABLE), {"reg", "delete", "HKCU\\Software\\Brindlewood", "/va"});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY(process.readAllStandardOutput().contains("canceled"));
    }
};

QTEST_GUILESS_MAIN(TestVoInputs)
#include "tst_voInputs.moc"
