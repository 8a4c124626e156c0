#include "common/XdgOpener.h"
#include "common/modShell.h"

#include "support/RecordingOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// A desktop that answers from a table of associations and records what it would have started.
struct FakeDesktop
{
    QStringList associated;
    QStringList asked;
    QList<QStringList> started;

    XdgOpener::Desktop desktop(const QString &openProgram = QStringLiteral("/usr/bin/xdg-open"))
    {
        XdgOpener::Desktop d;
        d.OpenProgram = openProgram;
        d.DefaultApplication = [this](const QString &type) {
            asked.append(type);
            return associated.contains(type) ? QStringLiteral("viewer.desktop") : QString();
        };
        d.StartDetached = [this](const QString &program, const QStringList &arguments, const QString &folder) {
            started.append(QStringList {program} + arguments + QStringList {folder});
            return true;
        };
        return d;
    }
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString at(const QString &relative) const { return m_dir.path() + QLatin1Char('/') + relative; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("logs")));
        touch(at(QStringLiteral("logs/handler.log")));
    }

    void openAssociated_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<std::optional<QString>>("workingFolder");
        QTest::addColumn<QString>("reason");
        // What the opener was given as working folder; nothing when it was not called.
        QTest::addColumn<std::optional<QString>>("given");

        const std::optional<QString> none;
        QTest::newRow("file: its folder") << "logs/handler.log" << none << QString() << std::optional<QString>("logs/");
        QTest::newRow("folder: itself") << "logs" << none << QString() << std::optional<QString>("logs");
        QTest::newRow("folder with slash") << "logs/" << none << QString() << std::optional<QString>("logs/");
        QTest::newRow("missing folder with slash") << "Job/" << none << "Working folder does not exist." << none;
        QTest::newRow("file in missing folder") << "Job/handler.log" << none << "Folder @Job/ not found." << none;
        // A missing file in an existing folder is the opener's to report.
        QTest::newRow("missing file") << "logs/none.log" << none << QString() << std::optional<QString>("logs/");
        QTest::newRow("given folder") << "logs/handler.log" << std::optional<QString>("/srv") << QString()
                                      << std::optional<QString>("/srv");
        QTest::newRow("empty folder: no search") << "Job/" << std::optional<QString>("") << QString() << std::optional<QString>("");
    }

    void openAssociated()
    {
        QFETCH(QString, path);
        QFETCH(std::optional<QString>, workingFolder);
        QFETCH(QString, reason);
        QFETCH(std::optional<QString>, given);
        const QString root = m_dir.path() + QLatin1Char('/');
        const auto rooted = [&](const QString &text) { return text.isEmpty() || text.startsWith('/') ? text : root + text; };

        RecordingOpener opener;
        QCOMPARE(modShell::OpenAssociated(root + path, workingFolder ? std::optional(rooted(*workingFolder)) : workingFolder),
            reason.replace(QStringLiteral("@"), root));
        QCOMPARE(opener.opened.size(), given ? 1 : 0);
        if (given) {
            QCOMPARE(opener.opened.constFirst().path, root + path);
            QCOMPARE(opener.opened.constFirst().workingFolder, rooted(*given));
        }
    }

    void noSlashNoFolder()
    {
        RecordingOpener opener;
        QCOMPARE(modShell::OpenAssociated(QStringLiteral("handler.log")), QStringLiteral("Working folder could not be determined."));
        QVERIFY(opener.opened.isEmpty());
    }

    void failureReasons_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("reason");
        QTest::newRow("0") << 0 << "The operating system is out of memory or resources.";
        QTest::newRow("3") << 3 << "The specified path was not found.";
        QTest::newRow("31") << 31 << "There is no application associated with the given filename extension.";
        QTest::newRow("32") << 32 << "The specified dynamic-link library was not found.";
        QTest::newRow("not in the table") << 1 << "File open operation failed.  Error: 1";
        QTest::newRow("negative") << -7 << "File open operation failed.  Error: -7";
        QTest::newRow("33 opened") << 33 << QString();
    }

    void failureReasons()
    {
        QFETCH(int, result);
        QFETCH(QString, reason);
        RecordingOpener opener;
        opener.setNextResult(result);
        QCOMPARE(modShell::OpenAssociated(at(QStringLiteral("logs/handler.log"))), reason);
    }

    void checkTarget()
    {
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("logs/handler.log"))), int(AssociatedOpener::Opened));
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("logs/none.log"))), int(AssociatedOpener::FileNotFound));
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("Job/handler.log"))), int(AssociatedOpener::PathNotFound));
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("Job/"))), int(AssociatedOpener::PathNotFound));
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("logs/handler.log/"))), int(AssociatedOpener::PathNotFound));
    }

    // The association is looked up before anything starts, through the type's ancestors.
    void xdgOpenerAsksBeforeStarting()
    {
        const QString log = at(QStringLiteral("logs/handler.log"));
        FakeDesktop fake;
        XdgOpener opener(fake.desktop());
        QCOMPARE(opener.open(log, QStringLiteral("/w")), int(AssociatedOpener::NoAssociation));
        QVERIFY(fake.asked.contains(QStringLiteral("text/plain")));
        QVERIFY(fake.started.isEmpty());

        fake.associated = {QStringLiteral("text/plain")};
        QCOMPARE(opener.open(log, QStringLiteral("/w")), int(AssociatedOpener::Opened));
        QCOMPARE(fake.started, QList<QStringList>({{QStringLiteral("/usr/bin/xdg-open"), log, QStringLiteral("/w")}}));

        fake.associated = {QStringLiteral("inode/directory")};
        QCOMPARE(opener.open(at(QStringLiteral("logs/")), QString()), int(AssociatedOpener::Opened));
        QCOMPARE(opener.open(at(QStringLiteral("Job/")), QString()), int(AssociatedOpener::PathNotFound));
        QCOMPARE(fake.started.size(), 2);

        FakeDesktop bare;
        bare.associated = {QStringLiteral("text/plain")};
        XdgOpener without(bare.desktop(QString()));
        QCOMPARE(without.open(log, QString()), int(AssociatedOpener::NoAssociation));
        QVERIFY(bare.started.isEmpty());
    }

    // VARNO_OSK_OPENER is read at each open: the command gets the path, in the working folder.
    void commandFromTheEnvironment()
    {
        const QString script = at(QStringLiteral("opener.sh"));
        const QString record = at(QStringLiteral("opened.txt"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$1 $(pwd)\" > '%1.part' && mv '%1.part' '%1'\n").arg(record).toUtf8());
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));

        qputenv("VARNO_OSK_OPENER", QStringLiteral("\"%1\"").arg(script).toUtf8());
        const QString log = at(QStringLiteral("logs/handler.log"));
        QCOMPARE(modShell::OpenAssociated(log), QString());
        QTRY_VERIFY(QFile::exists(record));
        QFile opened(record);
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(opened.readAll()).trimmed(), log + QLatin1Char(' ') + at(QStringLiteral("logs")));

        qputenv("VARNO_OSK_OPENER", at(QStringLiteral("no-such-viewer")).toUtf8());
        QCOMPARE(modShell::OpenAssociated(log), QStringLiteral("File open operation failed.  Error: 1"));
        qunsetenv("VARNO_OSK_OPENER");
    }
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_modShell.moc"
