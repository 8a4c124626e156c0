#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include "support/RecordingPresenter.h"
#include "support/VoProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPassphrase = QStringLiteral("blue  whale ");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList tree(const QString &file, const QStringList &more = {})
{
    return QStringList {QStringLiteral("tree"), file} + more;
}

} // namespace

class TestVoTree : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;
    QTemporaryDir m_dir;
    QString m_plain;
    QString m_sealed;

    QString write(const QString &name, const QByteArray &bytes) { return writeFile(m_dir.filePath(name), bytes); }

private Q_SLOTS:
    void initTestCase()
    {
        // Added out of order, in mixed case, with settings here and there.
        ComputerDB db;
        const int b = db.AddFolder(QStringLiteral("b"), -1);
        const int a = db.AddFolder(QStringLiteral("A"), -1);
        db.AddFolder(QStringLiteral("c"), -1);
        const int inner = db.AddFolder(QStringLiteral("Inner"), a);
        db.AddComputer(QStringLiteral("zeta"), QString(), -1, -1);
        db.AddComputer(QStringLiteral("Alpha"), QString(), -1, -1);
        const int pc = db.AddComputer(QStringLiteral("pc-2"), QString(), inner, -1);
        db.AddComputer(QStringLiteral("PC-1"), QString(), inner, -1);
        db.AddComputer(QStringLiteral("Mid"), QString(), a, -1);
        const GlobalSettingsPtr global = db.GetSettings(QStringLiteral("G"), -1);
        global->SetUser(AdminA, QStringLiteral("admin"), QStringLiteral("s3cret"), QStringLiteral("CORP"));
        db.AddSettings(global->Clone(), b, QStringLiteral("F"));
        db.AddSettings(global->Clone(), pc, QStringLiteral("C"));

        SettingsFile::SaveOptions options;
        options.Cost = PasswordSealer::Cost::Minimum();
        m_plain = m_dir.filePath(QStringLiteral("plain.vos.json"));
        QVERIFY(SettingsFile().Save(db, m_plain, options).ok());
        options.Passphrase = kPassphrase;
        m_sealed = m_dir.filePath(QStringLiteral("sealed.vos.json"));
        QVERIFY(SettingsFile().Save(db, m_sealed, options).ok());
    }

    void printsTheTreeAsTheConsoleShowsIt()
    {
        QVERIFY(vo({QStringLiteral("--help")}).out.contains("  tree       print the computer tree of a settings file\n"));
        const VoRun run = vo(tree(m_plain));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out,
            QByteArray("All Computers *\n"
                       "  A\n"
                       "    Inner\n"
                       "      PC-1\n"
                       "      pc-2 *\n"
                       "    Mid\n"
                       "  b *\n"
                       "  c\n"
                       "  Alpha\n"
                       "  zeta\n"));
        // A sealed file with its passphrase: the first line of the file, without its line break.
        const QString right = write(QStringLiteral("right.txt"), kPassphrase.toUtf8() + "\r\nsecond line\n");
        QCOMPARE(vo(tree(m_sealed, {QStringLiteral("--passphrase-file"), right})).out, run.out);

        // A deep chain of groups: the indent stops growing, the depth shows as a number.
        ComputerDB chain;
        for (int level = 1, parent = -1; level <= 40; ++level)
            parent = chain.AddFolder(QStringLiteral("G%1").arg(level), parent);
        const QString deep = m_dir.filePath(QStringLiteral("deep.vos.json"));
        QVERIFY(SettingsFile().Save(chain, deep, {}).ok());
        QByteArray end;
        for (int level = 32; level <= 40; ++level)
            end += QByteArray(64, ' ') + (level > 32 ? '[' + QByteArray::number(level) + "] " : "") + 'G' + QByteArray::number(level) + '\n';
        const QByteArray lines = vo(tree(deep)).out;
        QVERIFY2(lines.endsWith(end), lines.constData());
    }

    // vo disable and vo enable name computers as vo wave assign does, save
    // the file back with its passphrase, and leave it alone on a wrong name.
    void disableAndEnable()
    {
        const QString file = m_dir.filePath(QStringLiteral("disable.vos.json"));
        QVERIFY(QFile::copy(m_sealed, file));
        const QString secret = write(QStringLiteral("secret.txt"), kPassphrase.toUtf8());
        const QStringList pass {QStringLiteral("--passphrase-file"), secret};
        VoRun run = vo(QStringList {"disable", file, "--group", "A\\Inner", "--computer", "zeta"} + pass);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("3 computers disabled. Saved in "), run.out.constData());
        const QByteArray printed = vo(tree(file, pass)).out;
        QVERIFY2(printed.contains("      PC-1 (disabled)\n      pc-2 * (disabled)\n    Mid\n")
                && printed.contains("  zeta (disabled)\n") && !printed.contains("Alpha (disabled)"),
            printed.constData());

        const QByteArray before = readFile(file);
        run = vo(QStringList {"enable", file, "--computer", "zeta", "--computer", "nobody"} + pass);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QByteArray("ERROR: There is no computer named \"nobody\".\n"));
        QCOMPARE(readFile(file), before);
        run = vo(QStringList {"enable", file, "--group", "All Computers"} + pass);
        QVERIFY2(run.out.startsWith("3 computers enabled (2 of those named were enabled already). Saved"), run.out.constData());
        QVERIFY(!vo(tree(file, pass)).out.contains("disabled"));
    }

    void answersWithItsMessageAndStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("error"); // the start of the error output, or of the help with status 0

        QFile plain(m_plain);
        QVERIFY(plain.open(QIODevice::ReadOnly));
        const QByteArray good = plain.readAll();
        const QString truncated = write(QStringLiteral("truncated.vos.json"), good.left(good.size() / 3));
        const QString missing = m_dir.filePath(QStringLiteral("missing.vos.json"));
        const QString wrong = write(QStringLiteral("wrong.txt"), "blue whale\n");
        const QByteArray sealed = "\"" + m_sealed.toUtf8() + "\"";

        // How each fault of the file itself is worded is the settings file's
        // business; one shows that its message comes through.
        QTest::newRow("truncated") << tree(truncated) << 1 << "ERROR: The settings file \"" + truncated.toUtf8() + "\" is truncated: ";
        QTest::newRow("sealed, no passphrase") << tree(m_sealed) << 1
                                               << "ERROR: The passwords in the settings file " + sealed + " are sealed with a passphrase.";
        QTest::newRow("wrong passphrase") << tree(m_sealed, {QStringLiteral("--passphrase-file=") + wrong}) << 1
                                          << "ERROR: The passphrase for the settings file " + sealed + " is wrong";
        QTest::newRow("missing passphrase file") << tree(m_sealed, {QStringLiteral("--passphrase-file"), missing}) << 1
                                                 << "ERROR: The passphrase file \"" + missing.toUtf8() + "\" cannot be read: ";
        QTest::newRow("no file") << QStringList {QStringLiteral("tree")} << 1 << QByteArray("Usage: vo tree FILE [--passphrase-file F]\n");
        QTest::newRow("two files") << tree(m_plain, {m_plain}) << 1
                                   << QByteArray("ERROR: Invalid syntax. Only one settings file can be given.\n");
        QTest::newRow("unknown option") << tree(m_plain, {QStringLiteral("--depth")}) << 1
                                        << QByteArray("ERROR: Invalid syntax. Unknown option \"--depth\".\n");
        QTest::newRow("option without file") << tree(m_plain, {QStringLiteral("--passphrase-file")}) << 1
                                             << QByteArray("ERROR: Invalid syntax. --passphrase-file needs a file name.\n");
        QTest::newRow("help") << QStringList {QStringLiteral("tree"), QStringLiteral("--help")} << 0
                              << QByteArray("Usage: vo tree FILE [--passphrase-file F]\n");
    }

    void answersWithItsMessageAndStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, error);
        const VoRun run = vo(arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(status ? run.out : run.err, QByteArray());
        QVERIFY2((status ? run.err : run.out).startsWith(error), run.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestVoTree)
#include "tst_voTree.moc"
