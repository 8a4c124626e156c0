#include "protocol/modRunFile.h"
#include "protocol/modScrambleCore.h"
#include "protocol/modStatusFile.h"

#include <QTest>

using namespace modRunFile;

namespace {

RunFile sample()
{
    RunFile file;
    file.protocol = 1;
    file.mode = "check";
    file.token = std::string(64, 'a');
    file.fingerprint = std::string(64, '0');
    file.reportingPeriod = 2;
    file.keepAliveIncrement = 5;
    file.clientLog = "varnoosk.log";
    file.clientStatus = "varnoosk.sts";
    file.run = "Job 1";
    file.computer = "PC1";
    return file;
}

} // namespace

class tst_modRunFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("problem");
        QTest::newRow("as composed") << ""
                                     << ""
                                     << "";
        QTest::newRow("token too short") << "TOKEN=" + QString(64, 'a') << "TOKEN=abc"
                                         << "TOKEN is not valid";
        QTest::newRow("upper-case fingerprint") << "FINGERPRINT=" + QString(64, '0') << "FINGERPRINT=" + QString(64, 'A') << "FINGERPRINT";
        QTest::newRow("unknown mode") << "MODE=check"
                                      << "MODE=run"
                                      << "MODE is not valid";
        QTest::newRow("log as a path") << "CLIENTLOG=varnoosk.log"
                                       << "CLIENTLOG=../x"
                                       << "CLIENTLOG";
        QTest::newRow("negative period") << "REPORTINGPERIOD=2"
                                         << "REPORTINGPERIOD=-2"
                                         << "REPORTINGPERIOD";
        QTest::newRow("no token") << "TOKEN=" + QString(64, 'a') + "\r\n"
                                  << ""
                                  << "has no TOKEN";
        QTest::newRow("key twice") << "MODE=check"
                                   << "MODE=check\r\nMODE=check"
                                   << "twice";
        QTest::newRow("line without =") << "MODE=check"
                                        << "MODE=check\r\nstray"
                                        << "KEY=value";
    }
    void parse()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, problem);
        const RunFile written = sample();
        const std::string text = QString::fromStdString(Compose(written)).replace(from, to).toStdString();
        RunFile read;
        std::string reason;
        const bool ok = Parse(text, read, reason);
        QCOMPARE(ok, problem.isEmpty());
        if (ok) {
            QCOMPARE(Compose(read), Compose(written));
            QCOMPARE(read.token, written.token);
        } else {
            QVERIFY2(QString::fromStdString(reason).contains(problem), reason.c_str());
        }
    }

    void workingFolder()
    {
        QCOMPARE(WorkingFolder("/r/", true, "/home/x", "Job 1", "PC/7"), std::string("/r/var/lib/varno-osk/Job_1-PC_7"));
        QCOMPARE(WorkingFolder("/r", false, "/home/x", "..", "PC"), std::string("/home/x/.local/state/varno-osk/_..-PC"));
    }

    // Every code the body can carry comes back, whatever prefix length is drawn.
    void scrambleRoundTrip_data()
    {
        QTest::addColumn<double>("draw");
        QTest::newRow("no prefix") << 0.0;
        QTest::newRow("middle") << 0.5;
        QTest::newRow("longest prefix") << 0.9999;
    }
    void scrambleRoundTrip()
    {
        QFETCH(double, draw);
        std::string codes;
        for (int c = 0; c < 200; ++c)
            codes += static_cast<char>(c);
        codes += codes;
        const std::string scrambled = modScrambleCore::Scramble(codes, [draw] { return draw; });
        std::string back;
        QVERIFY(modScrambleCore::Descramble(scrambled, back));
        QCOMPARE(back, codes);
    }

    // The client's status file read back as it was written, whatever its
    // particulars hold; what is not a finding is passed over.
    void statusFileRoundTrip()
    {
        const modStatusFile::Findings findings {{1010, "DOM\\alice: /home/a\tb\r\nFINDING=1 forged"}, {1501, ""}};
        const std::string text = modStatusFile::Compose("PW", findings) + "FINDING=x1 no code\r\nFINDING=12z\r\nOTHER=1\r\n";
        const modStatusFile::Contents back = modStatusFile::Parse(text);
        QCOMPARE(back.status, std::string("PW"));
        QVERIFY(back.findings == findings);
    }
};

QTEST_GUILESS_MAIN(tst_modRunFile)
#include "tst_modRunFile.moc"
