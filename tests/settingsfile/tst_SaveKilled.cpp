#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kComputers = 100000;
// VO_SAVE_KILLS=400 tst_SaveKilled runs longer than ./test does.
constexpr int kKills = 50;
// Set in the child that saves until it is killed.
constexpr const char *kSaveForever = "VO_SAVE_FOREVER";

void fill(ComputerDB &db)
{
    QList<int> groups;
    for (int g = 0; g < 200; ++g)
        groups.append(db.AddFolder(QStringLiteral("Group%1").arg(g), -1));
    for (int c = 0; c < kComputers; ++c)
        db.AddComputer(QStringLiteral("PC%1").arg(c), QString(), groups.at(c % groups.size()), -1);
}

[[noreturn]] void saveForever(int argc, char *argv[], const QString &path)
{
    QCoreApplication app(argc, argv);
    ComputerDB db;
    fill(db);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        SettingsFile().Save(db, path, {});
}

} // namespace

// Saves of a 100,000-computer file killed at random moments: the file is
// always whole, and the temporary files the kills leave do not pile up.
class TestSaveKilled : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedSavesLeaveAWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("job.vos.json"));
        ComputerDB db;
        fill(db);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(SettingsFile().Save(db, path, {}).ok());
        // Kills land anywhere in the first two saves of each child.
        const quint32 window = quint32(std::max<qint64>(2 * timer.elapsed(), 10));

        QRandomGenerator random(20261206);
        const int kills = qEnvironmentVariableIntValue("VO_SAVE_KILLS") > 0 ? qEnvironmentVariableIntValue("VO_SAVE_KILLS") : kKills;
        for (int kill = 0; kill < kills; ++kill) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QString::fromLatin1(kSaveForever), path);
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForReadyRead(60000));
            QThread::msleep(random.bounded(window));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(60000));

            ComputerDB loaded;
            const SettingsFileResult result = SettingsFile().Load(path, QString(), loaded);
            QVERIFY2(result.ok(), qPrintable(QStringLiteral("after kill %1: %2").arg(kill).arg(result.Message)));
            QCOMPARE(loaded.GetComputerCount(), kComputers);
        }
        // Each save removes what the saves killed before it left: at most
        // the last kill's temporary file is there.
        const QStringList left = QDir(dir.path()).entryList({QStringLiteral(".job.vos.json.*")}, QDir::Files | QDir::Hidden);
        QVERIFY2(left.size() <= 1, qPrintable(left.join(QLatin1Char(' '))));
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(kSaveForever))
        saveForever(argc, argv, qEnvironmentVariable(kSaveForever));
    QCoreApplication app(argc, argv);
    TestSaveKilled test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SaveKilled.moc"
