#include "common/ConsoleCertificate.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_ConsoleCertificate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void madeOnceKeptPrivateAndPinnedAsOpensslSeesIt()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("tls");
        ConsoleCertificate certificate(folder);
        QVERIFY(!certificate.Exists());
        ConsoleCertificate::Pair pair;
        QString problem;
        QVERIFY2(certificate.Load(pair, problem), qPrintable(problem));
        for (const char *name : {"console.crt", "console.key"})
            QCOMPARE(QFile::permissions(folder + "/" + name), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

        QProcess openssl;
        openssl.start("openssl", {"x509", "-noout", "-fingerprint", "-sha256", "-in", folder + "/console.crt"});
        QVERIFY(openssl.waitForFinished());
        const QString seen = QString::fromLatin1(openssl.readAllStandardOutput()).section('=', 1).trimmed().remove(':').toLower();
        QCOMPARE(pair.fingerprint, seen);

        ConsoleCertificate::Pair again;
        QVERIFY(certificate.Load(again, problem));
        QCOMPARE(again.fingerprint, pair.fingerprint);
        QVERIFY(certificate.Renew(again, problem));
        QVERIFY(again.fingerprint != pair.fingerprint && again.key != pair.key);
    }

    void linkInPlaceOfTheKeyIsRefused()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("tls");
        ConsoleCertificate certificate(folder);
        ConsoleCertificate::Pair pair;
        QString problem;
        QVERIFY(certificate.Load(pair, problem));
        QVERIFY(QFile::remove(folder + "/console.key"));
        QFile elsewhere(dir.filePath("elsewhere"));
        QVERIFY(elsewhere.open(QIODevice::WriteOnly) && elsewhere.write("not a key") > 0);
        elsewhere.close();
        QVERIFY(QFile::link(elsewhere.fileName(), folder + "/console.key"));
        QVERIFY(!certificate.Load(pair, problem));
        QVERIFY2(problem.contains("console.key"), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(tst_ConsoleCertificate)
#include "tst_ConsoleCertificate.moc"
