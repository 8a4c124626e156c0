#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include "support/RecordingPresenter.h"
#include "support/VoProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// `vo import-users` on a settings file whose passwords are sealed.
class TestVoImportUsers : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes) { return writeFile(m_dir.filePath(name), bytes); }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void importsIntoTheFileOnlyWhenEveryLineChecks()
    {
        ComputerDB db;
        db.AddComputer(QStringLiteral("PC1"), QString(), -1, -1);
        db.GetSettings(QStringLiteral("G"), -1)->SetUser(0, QStringLiteral("admin"), QStringLiteral("s3cret"), QStringLiteral("CORP"));
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Job");
        options.Passphrase = QStringLiteral("phrase");
        options.Cost = PasswordSealer::Cost::Minimum();
        const QString settings = m_dir.filePath(QStringLiteral("job.vos.json"));
        QVERIFY(SettingsFile().Save(db, settings, options).ok());
        const QByteArray before = contents(settings);
        const QString phrase = write(QStringLiteral("phrase.txt"), "phrase\n");

        const QString bad = write(QStringLiteral("bad.csv"), "PC1,ann,bob\r\nPC1,ann\r\nPC1,a,b,c\r\n");
        const VoRun refused
            = vo({QStringLiteral("import-users"), bad, QStringLiteral("--into"), settings, QStringLiteral("--passphrase-file"), phrase});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.out.contains("Error on line 2: Does not contain 3 comma separated values.\n"
                                      "Error on line 3: Too many fields of data found.\n"),
            refused.out.constData());
        QCOMPARE(contents(settings), before);

        const QString good = write(QStringLiteral("good.csv"), "PC1,S-1-5-21-9,jos\xE9\r\nNEWPC,S-1-5-21-7,eve\r\n");
        const VoRun noPassphrase = vo({QStringLiteral("import-users"), good, QStringLiteral("--into"), settings});
        QCOMPARE(noPassphrase.status, 1);
        QVERIFY2(noPassphrase.err.contains("passphrase"), noPassphrase.err.constData());
        QCOMPARE(contents(settings), before);

        // Success is told only once the file is saved.
        const VoRun unsaved = vo({QStringLiteral("import-users"), good, QStringLiteral("--type=2"), QStringLiteral("--into"),
            m_dir.filePath(QStringLiteral("missing/job.vos.json"))});
        QCOMPARE(unsaved.status, 1);
        QVERIFY2(!unsaved.out.contains("Import successful!") && unsaved.err.contains("could not be saved"), unsaved.out.constData());

        const VoRun done = vo({QStringLiteral("import-users"), good, QStringLiteral("--type=2"), QStringLiteral("--into"), settings,
            QStringLiteral("--passphrase-file"), phrase});
        QCOMPARE(done.status, 0);
        QVERIFY(done.out.startsWith("Import successful!\n"));

        ComputerDB loaded;
        QVERIFY(SettingsFile().Load(settings, QStringLiteral("phrase"), loaded).ok());
        const MigrationUsers entry = *loaded.GetComputerUserList(loaded.FindComputer(QStringLiteral("PC1")))->GetUser(0);
        QVERIFY(entry.UseSIDFrom && !entry.UseSIDTo);
        QCOMPARE(entry.SIDFrom + QLatin1Char('>') + entry.UsernameTo, QStringLiteral("S-1-5-21-9>josé"));
        QCOMPARE(loaded.GetComputerUserList(loaded.FindComputer(QStringLiteral("NEWPC")))->GetUserCount(), 1);
        QString domain, user, password;
        QVERIFY(loaded.GetSettings(QStringLiteral("G"), -1)->GetUserSettings(0, domain, user, password));
        QCOMPARE(password, QStringLiteral("s3cret"));
    }
};

QTEST_GUILESS_MAIN(TestVoImportUsers)
#include "tst_voImportUsers.moc"
