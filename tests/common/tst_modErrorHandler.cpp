#include "common/modErrorHandler.h"
#include "common/modMessages.h"

#include "support/ManualClock.h"
#include "support/RecordingPresenter.h"

#include <QFile>
#include <QHash>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <stdexcept>

using namespace modErrorHandler;

namespace {

const QByteArray kHeader = "------------------ VARNO-OSK ERROR ------------------\r\n";
const QByteArray kFooter = QByteArray(53, '-') + "\r\n\r\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void setEnv(const char *name, const std::optional<QString> &value)
{
    if (value)
        qputenv(name, value->toLocal8Bit());
    else
        qunsetenv(name);
}

using Thrower = std::function<void()>;

} // namespace

Q_DECLARE_METATYPE(Thrower)

class TestErrorHandler : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QTemporaryDir m_temp;
    QString logInTmp() const { return m_tmp.filePath(QStringLiteral("VO-Error.log")); }

private Q_SLOTS:
    void init()
    {
        QFile::remove(logInTmp());
        QFile::remove(m_temp.filePath(QStringLiteral("VO-Error.log")));
        // Only one spelling of each variable, so the rule under test is the only one at work.
        qunsetenv("TMP");
        qunsetenv("TEMP");
        qputenv("tmp", m_tmp.path().toLocal8Bit());
        qputenv("temp", m_temp.path().toLocal8Bit());
    }

    void logEntriesAreWrittenByteForByteAndAppended()
    {
        ManualClock clock(QDateTime(QDate(2007, 3, 5), QTime(9, 7, 41)));
        QString details = QStringLiteral("first\rsecond");

        const QString path = LogError(QStringLiteral("ComputerDB.AddSettings"), 5, QStringLiteral("Line one\rLine two"), details);
        QString none;
        LogError(QStringLiteral("Second"), -1, QStringLiteral("m"), none); // negative numbers in two's complement

        QCOMPARE(path, logInTmp());
        QCOMPARE(details, QStringLiteral("first\r\nsecond"));
        QCOMPARE(readAll(path),
            kHeader
                + "Date: 2007/3/5 09:07\r\n"
                  "Number: 5 (0x5)\r\n"
                  "Function: ComputerDB.AddSettings\r\n"
                  "Details: first\r\nsecond\r\n"
                  "Message: Line one\r\nLine two\r\n"
                + kFooter + kHeader + "Date: 2007/3/5 09:07\r\nNumber: -1 (0xFFFFFFFF)\r\nFunction: Second\r\nDetails: \r\nMessage: m\r\n"
                + kFooter);
    }

    // Which variable names the folder: "tmp" unless it is empty, then
    // "temp"; with neither set at all, the platform's own folder.
    void logFolderFollowsTmpThenTemp_data()
    {
        QTest::addColumn<QString>("tmp"); // "-" unset
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("folder"); // the variable whose folder is used, "" none
        const auto row = [](const char *tag, const char *tmp, const char *temp, const char *folder) {
            QTest::newRow(tag) << QString::fromLatin1(tmp) << QString::fromLatin1(temp) << QString::fromLatin1(folder);
        };
        row("tmp wins", "tmp", "temp", "tmp");
        row("empty tmp falls to temp", "", "temp", "temp");
        row("both empty: not logged", "", "", "");
        row("neither set: platform folder", "-", "-", "platform");
    }

    void logFolderFollowsTmpThenTemp()
    {
        QFETCH(QString, tmp);
        QFETCH(QString, temp);
        QFETCH(QString, folder);
        QTemporaryDir platform;
        const QHash<QString, QString> folders {{"tmp", m_tmp.path()}, {"temp", m_temp.path()}, {"platform", platform.path()}};
        const auto value = [&folders](const QString &v) { return v == "-" ? std::nullopt : std::optional<QString>(folders.value(v)); };
        setEnv("tmp", value(tmp));
        setEnv("temp", value(temp));
        const auto restore = qScopeGuard([tmpdir = qgetenv("TMPDIR")] { qputenv("TMPDIR", tmpdir); });
        qputenv("TMPDIR", platform.path().toLocal8Bit());
        RecordingPresenter presenter;
        ShowMessage(InternalError, QStringLiteral("m"), QStringLiteral("ComputerDB.RemoveNode"), 3);
        const QString path = folder.isEmpty() ? QStringLiteral("(Not logged)") : folders.value(folder) + QStringLiteral("/VO-Error.log");
        QCOMPARE(presenter.last().text,
            QStringLiteral("An unexpected internal error has occured.  Please report the following\r"
                           "information to Brindlewood\r\rFunction: ComputerDB.RemoveNode\rNumber: 3\rLog: ")
                + path + QStringLiteral("\r\rm"));
        QCOMPARE(presenter.last().icon, Presenter::Icon::Critical);
        if (!folder.isEmpty())
            QVERIFY(readAll(path).startsWith(kHeader));
    }

    void environmentNamesIgnoreCaseAndUnwritableFolderGivesNoLog()
    {
        qunsetenv("tmp");
        qputenv("TMP", m_temp.path().toLocal8Bit());
        QCOMPARE(LogFilePath(), m_temp.filePath(QStringLiteral("VO-Error.log")));

        qputenv("TMP", m_tmp.filePath(QStringLiteral("no/such/folder")).toLocal8Bit());
        QString details;
        QCOMPARE(LogError(QStringLiteral("P"), 1, QStringLiteral("M"), details), QString());
    }

    void plainMessagesShowTheTextWithTheirIcon_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Presenter::Icon>("icon");
        QTest::newRow("warning") << 2 << Presenter::Icon::Exclamation;
        QTest::newRow("unknown kind acts as error") << 9 << Presenter::Icon::Critical;
    }

    void plainMessagesShowTheTextWithTheirIcon()
    {
        QFETCH(int, kind);
        QFETCH(Presenter::Icon, icon);
        RecordingPresenter presenter;

        ShowMessage(static_cast<MessageKind>(kind), QStringLiteral("Invalid characters found in domain name."));

        QCOMPARE(presenter.last().text, QStringLiteral("Invalid characters found in domain name."));
        QCOMPARE(presenter.last().caption, QStringLiteral("Varno-Osk"));
        QCOMPARE(presenter.last().icon, icon);
        QCOMPARE(presenter.last().buttons, Presenter::Buttons::Ok);
        QVERIFY(!QFile::exists(logInTmp()));
    }

    void internalErrorWithoutProcedureIsLogged()
    {
        RecordingPresenter presenter;
        ShowMessage(InternalError, QStringLiteral("Tree and database disagree."), QString(), 902);
        QVERIFY(readAll(logInTmp()).contains("Number: 902 (0x386)\r\nFunction: (Not specified)\r\nDetails: N/A\r\n"));
        QVERIFY(presenter.last().text.contains(QStringLiteral("\rFunction: (Not specified)\r")));
    }

    void guardReportsAFailureOnceAndKeepsTheResultSoFar()
    {
        RecordingPresenter presenter;

        int result = 0;
        const bool completed = Guard("ComputerDB.AddSettings", QStringLiteral("Key: 46 (0)"), [&] {
            result = 7;
            Raise(91, QStringLiteral("The record is gone."));
            result = 8;
        });

        QVERIFY(!completed);
        QCOMPARE(result, 7);
        QCOMPARE(presenter.count(), 1);
        const Presenter::Message &box = presenter.last();
        QCOMPARE(box.caption, QStringLiteral("Unexpected Error"));
        QCOMPARE(box.icon, Presenter::Icon::Critical);
        QCOMPARE(box.text,
            QStringLiteral("An unexpected error has occured.  Please report the following \r"
                           "information to Brindlewood.  We strongly recommend \r"
                           "that you close out of the application and restart as soon as possible.\r\r"
                           "Error Number: 91 (5B)\r"
                           "Function: ComputerDB.AddSettings\r"
                           "Log: ")
                + logInTmp() + QStringLiteral("\rDetails: Key: 46 (0)\r\rThe record is gone."));
        // The log keeps the number's standard text, not the failure's own words.
        QVERIFY(readAll(logInTmp()).contains("Details: Key: 46 (0)\r\nMessage: Object variable or With block variable not set\r\n"));
        QCOMPARE(CurrentError().Number, 0);
    }

    // The one classifier every catch of the console uses.
    void exceptionsGetTheirNumber_data()
    {
        QTest::addColumn<Thrower>("thrower");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("raised") << Thrower([] { Raise(1022, QStringLiteral("The migration list is empty.")); }) << 1022
                                << QStringLiteral("The migration list is empty.");
        QTest::newRow("raised without words") << Thrower([] { Raise(5); }) << 5 << QStringLiteral("Invalid procedure call or argument");
        QTest::newRow("out of range") << Thrower([] { throw std::out_of_range("index 12"); }) << 9 << QStringLiteral("index 12");
        QTest::newRow("out of memory") << Thrower([] { throw std::bad_alloc(); }) << 7 << QStringLiteral("Out of memory");
        QTest::newRow("invalid argument") << Thrower([] { throw std::invalid_argument("arg"); }) << 5 << QStringLiteral("arg");
        QTest::newRow("other exception") << Thrower([] { throw std::runtime_error("odd"); }) << 51 << QStringLiteral("odd");
        QTest::newRow("not an exception") << Thrower([] { throw 42; }) << 51 << QStringLiteral("Internal error");
    }

    void exceptionsGetTheirNumber()
    {
        QFETCH(Thrower, thrower);
        QFETCH(int, number);
        QFETCH(QString, description);
        try {
            thrower();
        } catch (...) {
            const ErrorInfo error = ClassifyCurrentException();
            QCOMPARE(error.Number, number);
            QCOMPARE(error.Description, description);
        }
    }

    void nestedGuardsReportOnlyTheInnerFailure()
    {
        RecordingPresenter presenter;
        bool outerFinished = false;

        const bool outer = Guard("Outer.Run", [&] {
            Guard("Inner.Step", [] { Raise(13); });
            outerFinished = true;
        });

        QVERIFY(outer);
        QVERIFY(outerFinished);
        QCOMPARE(presenter.count(), 1);
        QVERIFY(presenter.last().text.contains(QStringLiteral("Function: Inner.Step\r")));
        QVERIFY(!presenter.last().text.contains(QStringLiteral("Details:"))); // none were given
    }

    void customMessageMapsButtons_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<Presenter::Answer>("pressed");
        QTest::addColumn<Presenter::Buttons>("buttons");
        QTest::addColumn<int>("result");

        const QStringList three = {QStringLiteral("Ignore All"), QStringLiteral("Ignore Once"), QStringLiteral("Cancel")};
        const QStringList two = {QStringLiteral("Keep"), QStringLiteral("Discard")};
        QTest::newRow("three, third") << three << Presenter::Cancel << Presenter::Buttons::YesNoCancel << 3;
        QTest::newRow("two, second") << two << Presenter::No << Presenter::Buttons::YesNo << 2;
        QTest::newRow("four: the fourth is ignored")
            << (three + QStringList {QStringLiteral("More")}) << Presenter::Cancel << Presenter::Buttons::YesNoCancel << 3;
    }

    void customMessageMapsButtons()
    {
        QFETCH(QStringList, captions);
        QFETCH(Presenter::Answer, pressed);
        QFETCH(Presenter::Buttons, buttons);
        QFETCH(int, result);
        RecordingPresenter presenter;
        presenter.setNextAnswer(pressed);

        QCOMPARE(modMessages::ShowCustomMessage(
                     nullptr, QStringLiteral("Continue?"), QStringLiteral("Varno-Osk"), modMessages::IconQuestion, captions),
            result);
        QCOMPARE(presenter.last().buttons, buttons);
        QCOMPARE(presenter.last().buttonCaptions, captions.mid(0, 3));
        QCOMPARE(presenter.last().icon, Presenter::Icon::Question);
    }
};

QTEST_GUILESS_MAIN(TestErrorHandler)
#include "tst_modErrorHandler.moc"
