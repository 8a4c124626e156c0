#include "common/modFormat.h"

#include <QTest>

using namespace modFormat;

namespace {

enum class Check { Name, ShortName, HostName, ComputerName, FileName, LocalFolder, LocalFile, IPAddress };

bool passes(Check check, const QString &text)
{
    switch (check) {
    case Check::Name:
    case Check::ShortName:
        return IsValidName(text, check == Check::ShortName);
    case Check::HostName:
        return IsValidHostName(text);
    case Check::ComputerName:
        return IsValidComputerName(text);
    case Check::FileName:
        return IsValidFileName(text);
    case Check::LocalFolder:
    case Check::LocalFile:
        return IsValidLocalPath(text, check == Check::LocalFolder);
    case Check::IPAddress:
        return IsValidIPAddress(text);
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Check)

class TestFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checks_data()
    {
        QTest::addColumn<Check>("check");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");

        QTest::newRow("name: empty") << Check::Name << QString() << false;
        QTest::newRow("name: 20 characters") << Check::Name << QString(20, QLatin1Char('a')) << true;
        QTest::newRow("name: 21 characters") << Check::Name << QString(21, QLatin1Char('a')) << false;
        QTest::newRow("short name: 15 characters") << Check::ShortName << QString(15, QLatin1Char('a')) << true;
        QTest::newRow("short name: 16 characters") << Check::ShortName << QString(16, QLatin1Char('a')) << false;
        QTest::newRow("name: domain\\user") << Check::Name << QStringLiteral("CORP\\jsmith") << false;
        QTest::newRow("name: blanks, points, hyphens") << Check::Name << QStringLiteral("Sales Dept-2.old") << true;
        QTest::newRow("name: non-ASCII letters") << Check::Name << QStringLiteral("Ärger") << true;
        for (const QChar c : QStringLiteral("\"/[]:;|=,+*?<>"))
            QTest::addRow("name: forbidden %c", c.toLatin1()) << Check::Name << (QStringLiteral("ab") + c + QStringLiteral("cd")) << false;
        // Longer than a name: DNS labels, each 1 to 63 letters, digits and
        // hyphens, 253 characters in all; a short name keeps the name rule.
        const QString label63(63, QLatin1Char('x'));
        QTest::newRow("host: fully qualified") << Check::HostName << QStringLiteral("dc01.corp.example.com") << true;
        QTest::newRow("host: 253 characters") << Check::HostName << (QStringList(3, label63).join(u'.') + u'.' + QString(61, u'x')) << true;
        QTest::newRow("host: 254 characters") << Check::HostName << (QStringList(3, label63).join(u'.') + u'.' + QString(62, u'x'))
                                              << false;
        QTest::newRow("host: label of 64") << Check::HostName << (label63 + QStringLiteral("x.com")) << false;
        QTest::newRow("host: empty label") << Check::HostName << QStringLiteral("dc01..corp.example.com") << false;
        QTest::newRow("host: hyphen at a label's end") << Check::HostName << QStringLiteral("dc01-.corp.example.com") << false;
        QTest::newRow("host: blank in a long name") << Check::HostName << QStringLiteral("dc 01.corp.example.com") << false;
        QTest::newRow("host: underscore in a long name") << Check::HostName << QStringLiteral("dc_01.corp.example.com") << false;
        QTest::newRow("host: short name with a blank") << Check::HostName << QStringLiteral("Old Corp") << true;
        QTest::newRow("host: domain\\user") << Check::HostName << QStringLiteral("CORP\\jsmith") << false;
        QTest::newRow("computer: letters, digits, hyphen, underscore") << Check::ComputerName << QStringLiteral("WS-0042_old") << true;
        QTest::newRow("computer: 15 characters") << Check::ComputerName << QString(15, QLatin1Char('p')) << true;
        QTest::newRow("computer: 16 characters") << Check::ComputerName << QString(16, QLatin1Char('p')) << false;
        QTest::newRow("computer: blank and !") << Check::ComputerName << QStringLiteral("BAD NAME!") << false;
        QTest::newRow("computer: digits alone") << Check::ComputerName << QStringLiteral("4711") << false;
        QTest::newRow("computer: non-ASCII letters") << Check::ComputerName << QStringLiteral("PC-ÄRGER") << true;

        QTest::newRow("file name: empty passes") << Check::FileName << QString() << true;
        QTest::newRow("file name: 214 characters") << Check::FileName << QString(214, QLatin1Char('f')) << true;
        QTest::newRow("file name: 215 characters") << Check::FileName << QString(215, QLatin1Char('f')) << false;
        QTest::newRow("file name: brackets and commas") << Check::FileName << QStringLiteral("users [2026], part 1.csv") << true;
        for (const QChar c : QStringLiteral("\"\\/:*?<>|"))
            QTest::addRow("file name: forbidden %c", c.toLatin1()) << Check::FileName << (QStringLiteral("a") + c) << false;

        QTest::newRow("local: folder with slash") << Check::LocalFolder << QStringLiteral("/var/log/varno-osk/") << true;
        QTest::newRow("local: root") << Check::LocalFolder << QStringLiteral("/") << true;
        QTest::newRow("local: file with trailing slash") << Check::LocalFile << QStringLiteral("/var/log/x/") << false;
        QTest::newRow("local: relative") << Check::LocalFolder << QStringLiteral("log/varno") << false;
        QTest::newRow("local: double slash") << Check::LocalFolder << QStringLiteral("/var//log") << false;
        QTest::newRow("local: line break") << Check::LocalFolder << QStringLiteral("/var/log\nx") << false;
        QTest::newRow("local: blanks and colons") << Check::LocalFolder << QStringLiteral("/srv/Migration Logs/2026:12") << true;
        QTest::newRow("local: name of 255 bytes") << Check::LocalFolder << (QStringLiteral("/") + QString(255, QLatin1Char('n'))) << true;
        QTest::newRow("local: name of 256 bytes") << Check::LocalFolder << (QStringLiteral("/") + QString(256, QLatin1Char('n'))) << false;
        QTest::newRow("local: 128 two-byte letters") << Check::LocalFolder << (QStringLiteral("/") + QString(128, QChar(0x00E9))) << false;

        QTest::newRow("ip: all zero") << Check::IPAddress << QStringLiteral("0.0.0.0") << true;
        QTest::newRow("ip: all 255") << Check::IPAddress << QStringLiteral("255.255.255.255") << true;
        QTest::newRow("ip: 256") << Check::IPAddress << QStringLiteral("192.168.0.256") << false;
        QTest::newRow("ip: three parts") << Check::IPAddress << QStringLiteral("192.168.0") << false;
        QTest::newRow("ip: five parts") << Check::IPAddress << QStringLiteral("1.2.3.4.5") << false;
        QTest::newRow("ip: blanks around a part") << Check::IPAddress << QStringLiteral("192. 168 .0.1") << true;
        QTest::newRow("ip: trailing point") << Check::IPAddress << QStringLiteral("1.2.3.") << false;
        QTest::newRow("ip: negative") << Check::IPAddress << QStringLiteral("1.2.3.-1") << false;
        QTest::newRow("ip: infinity") << Check::IPAddress << QStringLiteral("1.2.3.inf") << false;
        QTest::newRow("ip: empty") << Check::IPAddress << QString() << false;
    }

    void checks()
    {
        QFETCH(Check, check);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(passes(check, text), valid);
    }

    void windowsPaths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("flags"); // Folder, must be Absolute, Drive allowed, UNC allowed
        QTest::addColumn<bool>("valid");

        QTest::newRow("folder with trailing backslash") << QStringLiteral("C:\\Varno\\") << QStringLiteral("FAD") << true;
        QTest::newRow("file with trailing backslash") << QStringLiteral("C:\\Varno\\") << QStringLiteral("AD") << false;
        QTest::newRow("absolute drive path") << QStringLiteral("C:\\Program Files\\Varno") << QStringLiteral("FAD") << true;
        QTest::newRow("relative path, absolute wanted") << QStringLiteral("Program Files\\Varno") << QStringLiteral("FAD") << false;
        QTest::newRow("relative path allowed") << QStringLiteral("Program Files\\Varno") << QStringLiteral("FD") << true;
        QTest::newRow("colon in a later component") << QStringLiteral("C:\\a:b") << QStringLiteral("FAD") << false;
        QTest::newRow("drive not allowed") << QStringLiteral("C:\\Varno") << QStringLiteral("F") << false;
        QTest::newRow("drive must be one letter and colon") << QStringLiteral("CD:\\Varno") << QStringLiteral("FD") << false;
        QTest::newRow("UNC share") << QStringLiteral("\\\\server\\share\\dir") << QStringLiteral("FAU") << true;
        QTest::newRow("three leading backslashes") << QStringLiteral("\\\\\\server\\share") << QStringLiteral("FAU") << false;
        QTest::newRow("UNC not allowed") << QStringLiteral("\\\\server\\share") << QStringLiteral("F") << false;
        QTest::newRow("no drive on a UNC path") << QStringLiteral("\\\\C:\\share") << QStringLiteral("FADU") << false;

        // 253 characters after the trailing backslash is removed is the most a folder may have.
        const QString folder253 = QStringLiteral("C:\\") + QString(250, QLatin1Char('d'));
        QTest::newRow("folder of 253 plus backslash") << folder253 + QLatin1Char('\\') << QStringLiteral("FAD") << true;
        QTest::newRow("folder of 254") << folder253 + QLatin1Char('d') << QStringLiteral("FAD") << false;
        const QString file255 = QStringLiteral("C:\\") + QString(252, QLatin1Char('f'));
        QTest::newRow("file of 255") << file255 << QStringLiteral("AD") << true;
        QTest::newRow("file of 256") << file255 + QLatin1Char('f') << QStringLiteral("AD") << false;
    }

    void windowsPaths()
    {
        QFETCH(QString, text);
        QFETCH(QString, flags);
        const auto has = [&flags](char flag) { return flags.contains(QLatin1Char(flag)); };
        QTEST(IsValidPath(text, has('F'), has('A'), has('D'), has('U')), "valid");
    }

    void templates()
    {
        QCOMPARE(FillTemplate(QStringLiteral("a||b %1 and %1"), {QStringLiteral("%1"), QStringLiteral("PC1")}),
            QStringLiteral("a\rb PC1 and PC1"));
        // A later pair sees what an earlier one put in; an odd last entry and an empty placeholder do nothing.
        const QStringList pairs {QStringLiteral("%C"), QStringLiteral("%N (%I)"), QStringLiteral("%N"), QStringLiteral("PC7"), QString(),
            QStringLiteral("x"), QStringLiteral("%A")};
        QCOMPARE(FillTemplate(QStringLiteral("Client %C %A"), pairs), QStringLiteral("Client PC7 (%I) %A"));
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_modFormat.moc"
