#include "common/modFormat.h"

#include <QTest>

using namespace modFormat;

class TestFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void names_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shortName");
        QTest::addColumn<bool>("valid");

        QTest::newRow("empty") << QString() << false << false;
        QTest::newRow("20 characters") << QString(20, QLatin1Char('a')) << false << true;
        QTest::newRow("21 characters") << QString(21, QLatin1Char('a')) << false << false;
        QTest::newRow("short: 15 characters") << QString(15, QLatin1Char('a')) << true << true;
        QTest::newRow("short: 16 characters") << QString(16, QLatin1Char('a')) << true << false;
        QTest::newRow("domain\\user") << QStringLiteral("CORP\\jsmith") << false << false;
        QTest::newRow("backslash comes before length") << QStringLiteral("\\") << true << false;
        QTest::newRow("blanks, points, hyphens") << QStringLiteral("Sales Dept-2.old") << false << true;
        QTest::newRow("non-ASCII letters") << QStringLiteral("Ärger") << false << true;
        QTest::newRow("distinguished name") << QStringLiteral("CN=PC1,OU=Sales") << false << false;

        const QString forbidden = QStringLiteral("\"/[]:;|=,+*?<>");
        for (const QChar c : forbidden)
            QTest::addRow("forbidden %c", c.toLatin1()) << (QStringLiteral("ab") + c + QStringLiteral("cd")) << false << false;
    }

    void names()
    {
        QFETCH(QString, text);
        QFETCH(bool, shortName);
        QFETCH(bool, valid);
        QCOMPARE(IsValidName(text, shortName), valid);
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");

        QTest::newRow("empty passes") << QString() << true;
        QTest::newRow("214 characters") << QString(214, QLatin1Char('f')) << true;
        QTest::newRow("215 characters") << QString(215, QLatin1Char('f')) << false;
        QTest::newRow("brackets and commas are fine") << QStringLiteral("users [2026], part 1.csv") << true;
        const QString forbidden = QStringLiteral("\"\\/:*?<>|");
        for (const QChar c : forbidden)
            QTest::addRow("forbidden %c", c.toLatin1()) << (QStringLiteral("a") + c) << false;
    }

    void fileNames()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsValidFileName(text), valid);
    }

    void windowsPaths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<bool>("mustBeAbsolute");
        QTest::addColumn<bool>("allowDrive");
        QTest::addColumn<bool>("allowUnc");
        QTest::addColumn<bool>("valid");

        QTest::newRow("folder with trailing backslash") << QStringLiteral("C:\\Varno\\") << true << true << true << false << true;
        QTest::newRow("folder without trailing backslash") << QStringLiteral("C:\\Varno") << true << true << true << false << true;
        QTest::newRow("file with trailing backslash") << QStringLiteral("C:\\Varno\\") << false << true << true << false << false;
        QTest::newRow("absolute drive path") << QStringLiteral("C:\\Program Files\\Varno") << true << true << true << false << true;
        QTest::newRow("relative path, absolute wanted") << QStringLiteral("Program Files\\Varno") << true << true << true << false << false;
        QTest::newRow("relative path allowed") << QStringLiteral("Program Files\\Varno") << true << false << true << false << true;
        QTest::newRow("colon in a later component") << QStringLiteral("C:\\a:b") << true << true << true << false << false;
        QTest::newRow("drive not allowed") << QStringLiteral("C:\\Varno") << true << false << false << false << false;
        QTest::newRow("drive must be one letter and colon") << QStringLiteral("CD:\\Varno") << true << false << true << false << false;
        QTest::newRow("UNC share") << QStringLiteral("\\\\server\\share\\dir") << true << true << false << true << true;
        QTest::newRow("three leading backslashes") << QStringLiteral("\\\\\\server\\share") << true << true << false << true << false;
        QTest::newRow("UNC not allowed") << QStringLiteral("\\\\server\\share") << true << false << false << false << false;
        QTest::newRow("no drive on a UNC path") << QStringLiteral("\\\\C:\\share") << true << true << true << true << false;
        QTest::newRow("double backslash inside") << QStringLiteral("C:\\a\\\\b") << true << true << true << false << false;
        QTest::newRow("forbidden character") << QStringLiteral("C:\\a?b") << false << true << true << false << false;
        QTest::newRow("empty") << QString() << true << false << true << true << false;

        // 253 characters after the trailing backslash is removed is the most a folder may have.
        const QString folder253 = QStringLiteral("C:\\") + QString(250, QLatin1Char('d'));
        QTest::newRow("folder of 253") << folder253 << true << true << true << false << true;
        QTest::newRow("folder of 253 plus backslash") << folder253 + QLatin1Char('\\') << true << true << true << false << true;
        QTest::newRow("folder of 254") << folder253 + QLatin1Char('d') << true << true << true << false << false;
        const QString file255 = QStringLiteral("C:\\") + QString(252, QLatin1Char('f'));
        QTest::newRow("file of 255") << file255 << false << true << true << false << true;
        QTest::newRow("file of 256") << file255 + QLatin1Char('f') << false << true << true << false << false;
    }

    void windowsPaths()
    {
        QFETCH(QString, text);
        QFETCH(bool, isFolder);
        QFETCH(bool, mustBeAbsolute);
        QFETCH(bool, allowDrive);
        QFETCH(bool, allowUnc);
        QFETCH(bool, valid);
        QCOMPARE(IsValidPath(text, isFolder, mustBeAbsolute, allowDrive, allowUnc), valid);
    }

    void localPaths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<bool>("valid");

        QTest::newRow("absolute folder") << QStringLiteral("/var/log/varno-osk") << true << true;
        QTest::newRow("absolute folder with slash") << QStringLiteral("/var/log/varno-osk/") << true << true;
        QTest::newRow("root") << QStringLiteral("/") << true << true;
        QTest::newRow("file with trailing slash") << QStringLiteral("/var/log/x/") << false << false;
        QTest::newRow("relative") << QStringLiteral("log/varno") << true << false;
        QTest::newRow("Windows path") << QStringLiteral("C:\\Logs") << true << false;
        QTest::newRow("empty") << QString() << true << false;
        QTest::newRow("double slash") << QStringLiteral("/var//log") << true << false;
        QTest::newRow("line break") << QStringLiteral("/var/log\nx") << true << false;
        QTest::newRow("blanks and colons are fine here") << QStringLiteral("/srv/Migration Logs/2026:12") << true << true;
        QTest::newRow("name of 255 bytes") << (QStringLiteral("/") + QString(255, QLatin1Char('n'))) << true << true;
        QTest::newRow("name of 256 bytes") << (QStringLiteral("/") + QString(256, QLatin1Char('n'))) << true << false;
        QTest::newRow("name of 128 two-byte letters") << (QStringLiteral("/") + QString(128, QChar(0x00E9))) << true << false;
    }

    void localPaths()
    {
        QFETCH(QString, text);
        QFETCH(bool, isFolder);
        QFETCH(bool, valid);
        QCOMPARE(IsValidLocalPath(text, isFolder), valid);
    }

    void ipAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");

        QTest::newRow("ordinary") << QStringLiteral("192.168.0.1") << true;
        QTest::newRow("all zero") << QStringLiteral("0.0.0.0") << true;
        QTest::newRow("all 255") << QStringLiteral("255.255.255.255") << true;
        QTest::newRow("256") << QStringLiteral("192.168.0.256") << false;
        QTest::newRow("three parts") << QStringLiteral("192.168.0") << false;
        QTest::newRow("five parts") << QStringLiteral("1.2.3.4.5") << false;
        QTest::newRow("blanks around a part") << QStringLiteral("192. 168 .0.1") << true;
        QTest::newRow("empty part") << QStringLiteral("192..0.1") << false;
        QTest::newRow("trailing point") << QStringLiteral("1.2.3.") << false;
        QTest::newRow("letters") << QStringLiteral("a.b.c.d") << false;
        QTest::newRow("negative") << QStringLiteral("1.2.3.-1") << false;
        QTest::newRow("infinity is no number here") << QStringLiteral("1.2.3.inf") << false;
        QTest::newRow("empty") << QString() << false;
    }

    void ipAddresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsValidIPAddress(text), valid);
    }

    void templates_data()
    {
        QTest::addColumn<QString>("templateText");
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<QString>("expected");

        QTest::newRow("line breaks") << QStringLiteral("a||b") << QStringList() << QStringLiteral("a\rb");
        QTest::newRow("every occurrence") << QStringLiteral("%1 and %1") << QStringList{QStringLiteral("%1"), QStringLiteral("PC1")}
                                          << QStringLiteral("PC1 and PC1");
        QTest::newRow("later pair sees earlier value")
            << QStringLiteral("Client %C") << QStringList{QStringLiteral("%C"), QStringLiteral("%N (%I)"), QStringLiteral("%N"), QStringLiteral("PC7")}
            << QStringLiteral("Client PC7 (%I)");
        QTest::newRow("odd entry is ignored") << QStringLiteral("%A") << QStringList{QStringLiteral("%A"), QStringLiteral("x"), QStringLiteral("%B")}
                                              << QStringLiteral("x");
        QTest::newRow("empty placeholder matches nothing") << QStringLiteral("ab") << QStringList{QString(), QStringLiteral("x")}
                                                           << QStringLiteral("ab");
    }

    void templates()
    {
        QFETCH(QString, templateText);
        QFETCH(QStringList, pairs);
        QFETCH(QString, expected);
        QCOMPARE(FillTemplate(templateText, pairs), expected);
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_modFormat.moc"
