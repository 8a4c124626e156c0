#include "common/XdgOpener.h"
#include "common/modShell.h"

#include "support/RecordingOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

class TestShell : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // "@" stands for the test's folder.
    QString at(QString text) const { return text.replace(QLatin1Char('@'), m_dir.path() + QLatin1Char('/')); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("logs")));
        QFile log(at(QStringLiteral("@logs/handler.log")));
        QVERIFY(log.open(QIODevice::WriteOnly));
    }

    void openAssociated_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<std::optional<QString>>("workingFolder");
        QTest::addColumn<int>("result"); // the opener's answer
        QTest::addColumn<QString>("reason");
        // The working folder the opener was given; nothing when it was not called.
        QTest::addColumn<std::optional<QString>>("given");

        const std::optional<QString> none;
        using Folder = std::optional<QString>;
        const QString log = QStringLiteral("@logs/handler.log");
        QTest::newRow("file: its folder") << log << none << 42 << QString() << Folder("@logs/");
        QTest::newRow("folder: itself") << "@logs" << none << 42 << QString() << Folder("@logs");
        QTest::newRow("folder with slash") << "@logs/" << none << 42 << QString() << Folder("@logs/");
        QTest::newRow("missing folder with slash") << "@Job/" << none << 42 << "Working folder does not exist." << none;
        QTest::newRow("file in missing folder") << "@Job/handler.log" << none << 42 << "Folder @Job/ not found." << none;
        QTest::newRow("no slash") << "handler.log" << none << 42 << "Working folder could not be determined." << none;
        QTest::newRow("given folder, empty: no search") << "@Job/" << Folder("") << 42 << QString() << Folder("");
        QTest::newRow("33 opened") << log << none << 33 << QString() << Folder("@logs/");
        QTest::newRow("32") << log << none << 32 << "The specified dynamic-link library was not found." << Folder("@logs/");
        QTest::newRow("not in the table") << log << none << 1 << "File open operation failed.  Error: 1" << Folder("@logs/");
    }

    void openAssociated()
    {
        QFETCH(QString, path);
        QFETCH(std::optional<QString>, workingFolder);
        QFETCH(int, result);
        QFETCH(QString, reason);
        QFETCH(std::optional<QString>, given);
        RecordingOpener opener;
        opener.setNextResult(result);
        QCOMPARE(modShell::OpenAssociated(at(path), workingFolder ? std::optional(at(*workingFolder)) : workingFolder), at(reason));
        QCOMPARE(opener.opened.size(), given ? 1 : 0);
        if (given)
            QCOMPARE(opener.opened.constFirst().workingFolder, at(*given));
    }

    void checkTarget()
    {
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("@logs/handler.log"))), int(AssociatedOpener::Opened));
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("@logs/none.log"))), int(AssociatedOpener::FileNotFound));
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("@Job/handler.log"))), int(AssociatedOpener::PathNotFound));
        QCOMPARE(AssociatedOpener::CheckTarget(at(QStringLiteral("@Job/"))), int(AssociatedOpener::PathNotFound));
    }

    // The association is looked up before anything starts, through the type's ancestors.
    void xdgOpenerAsksBeforeStarting()
    {
        QStringList associated;
        QList<QStringList> started;
        XdgOpener::Desktop desktop;
        desktop.OpenProgram = QStringLiteral("/usr/bin/xdg-open");
        desktop.DefaultApplication
            = [&](const QString &type) { return associated.contains(type) ? QStringLiteral("v.desktop") : QString(); };
        desktop.StartDetached = [&](const QString &program, const QStringList &arguments, const QString &folder) {
            started.append(QStringList {program} + arguments + QStringList {folder});
            return true;
        };
        const QString log = at(QStringLiteral("@logs/handler.log"));
        XdgOpener opener(desktop);
        associated = QStringList {QStringLiteral("application/octet-stream")};
        QCOMPARE(opener.open(log, QStringLiteral("/w")), int(AssociatedOpener::NoAssociation));
        associated = QStringList {QStringLiteral("text/plain"), QStringLiteral("inode/directory")};
        QCOMPARE(opener.open(log, QStringLiteral("/w")), int(AssociatedOpener::Opened));
        QCOMPARE(opener.open(at(QStringLiteral("@logs/")), QString()), int(AssociatedOpener::Opened));
        QCOMPARE(started, QList<QStringList>({{desktop.OpenProgram, log, "/w"}, {desktop.OpenProgram, at("@logs/"), ""}}));

        desktop.OpenProgram.clear();
        QCOMPARE(XdgOpener(desktop).open(log, QString()), int(AssociatedOpener::NoAssociation));
        QCOMPARE(started.size(), 2);
    }

    // VARNO_OSK_OPENER is read at each open; its command gets the path.
    void commandFromTheEnvironment()
    {
        QFile script(at(QStringLiteral("@opener.sh")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(at(QStringLiteral("#!/bin/sh\necho \"$1\" > @opened.part && mv @opened.part @opened\n")).toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        qputenv("VARNO_OSK_OPENER", ('"' + script.fileName() + '"').toUtf8());
        QCOMPARE(modShell::OpenAssociated(at(QStringLiteral("@logs/handler.log"))), QString());
        QFile opened(at(QStringLiteral("@opened")));
        QTRY_VERIFY(opened.exists());
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(opened.readAll().trimmed(), at(QStringLiteral("@logs/handler.log")).toUtf8());

        qputenv("VARNO_OSK_OPENER", at(QStringLiteral("@no-such-viewer")).toUtf8());
        QCOMPARE(
            modShell::OpenAssociated(at(QStringLiteral("@logs/handler.log"))), QStringLiteral("File open operation failed.  Error: 1"));
        qunsetenv("VARNO_OSK_OPENER");
    }
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_modShell.moc"
