#pragma once

#include "common/ConsoleConfig.h"
#include "engine/DispatchWrapper.h"
#include "engine/JobArray.h"
#include "engine/EngineJournal.h"
#include "engine/JobExport.h"
#include "engine/TranslationArray.h"
#include "engine/modScramble.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QXEHandler;

// The console's side of the migration engine. The main window holds one for
// the life of the program: it hands a job to the engine, forwards cancel and
// abort, translates engine client numbers into computer IDs and back, writes
// each client's scrambled configuration file, and turns the engine's events
// into its own six signals (ClientStatusChanged ... TestReceived).
//
// Two more signals are for the window and not events of the engine:
// EditColorsRequested (restore the editing colours of the tree) and
// BusyChanged (the busy pointer). The running state it switches is
// RunState's: on at the start of Run, off when Run fails or the engine
// reports an error.
class QXEInterface : public QObject
{
    Q_OBJECT

public:
    enum MessageLevel : int {
        LevelError = 16,
        LevelWarning = 48,
        LevelInformation = 64,
    };

    // Drives the engine that modEngine::CreateHandler picks.
    explicit QXEInterface(QObject *parent = nullptr);
    explicit QXEInterface(std::unique_ptr<QXEHandler> engine, QObject *parent = nullptr);
    ~QXEInterface() override;

    int ClientCount() const { return m_clientCount; }
    void SetClientCount(int count) { m_clientCount = count; }

    // Column 1 of the client's row; empty when the row does not exist.
    QString ComputerName(int client) const;
    QString RegPath() const { return m_regPath; }

    // The engine's status code of the computer named by a node key ("C12").
    QString SimpleClientStatus(const QString &nodeKey);

    // These four do nothing unless a run is going on.
    void AbortAll();
    void AbortClient(const QString &nodeKey);
    void CancelAll();
    void CancelClient(const QString &nodeKey);

    // The scrambled "varnoosk.cfg" of an engine client, from the rows the
    // export is filling: bytes in the ANSI code page, to be stored as they
    // are. Empty when it could not be made (the failure is reported).
    QByteArray CreateConfigFile(int client);

    // `address` as QXEHandler::PackAddress gives it.
    void NetworkTestStart(qint32 address, qint32 port);
    void NetworkTestEnd();

    // Starts a migration of the database's active computers; returns once
    // the engine has the job (or a message has said why not).
    void Run(JobExport &database);
    // The same into another results folder than the current job's: a
    // rollback's own.
    void Run(JobExport &database, const QString &resultsFolder);
    // The same job handed to an engine that checks each client on its own
    // computer instead of migrating it; its logs go to `resultsFolder`.
    void Check(JobExport &database, const QString &resultsFolder);
    // Follows a run a console before this one left going: its engine's
    // journal, and the computer ID of each of its clients (-1 for one the
    // database no longer holds). False, with nothing started, when the
    // engine cannot be reached.
    bool Reattach(const EngineJournal::Contents &journal, const QList<qint32> &computerIds);
    // Closes the console with the run left going.
    void Leave();

    // The export of a run without the run: fills the three arrays, each
    // client's configuration file included, with the addresses and port set
    // below, and starts nothing (vo export).
    void ExportJob(JobExport &database);
    // The same row by row, for an export written out as it is made: each
    // row reaches `visit` with its configuration file in client column 10,
    // and is dropped; the arrays of a run are left alone. False when the
    // export failed or `visit` stopped it.
    bool StreamJob(JobExport &database, const JobExport::RowVisitor &visit);

    // The engine client number of a computer, -1 when it has none.
    int CDBtoQXE(int computerId);

    // The text of an engine Error number, as the Message signal carries it.
    QString EngineErrorText(int number) const;
    // The failure message of Run for failure number N.
    QString RunFailureText(int number) const;

    // Addresses and port as the last Run took them; CreateConfigFile writes
    // the console address and port into every file. Settable for an export
    // without a run.
    QString ConsoleIP() const { return m_consoleIP; }
    QString ListenerIP() const { return m_listenerIP; }
    int ListenerPort() const { return m_listenerPort; }
    void SetConsoleIP(const QString &address) { m_consoleIP = address; }
    void SetListenerIP(const QString &address) { m_listenerIP = address; }
    void SetListenerPort(int port) { m_listenerPort = port; }

    // The client and settings arrays of the last job; emptied when the
    // engine reports processing complete, the translation kept.
    const JobArray &ClientArray() const { return m_clientArray; }
    const JobArray &SettingsArray() const { return m_settingsArray; }
    const TranslationArray &Translation() const { return m_translationArray; }
    QXEHandler &Engine() const { return *m_engine; }
    const DispatchWrapper &Catalogue() const { return *m_catalogue; }

    // Where the prefix of the scrambled files comes from (tests); an empty
    // source restores a clock-seeded one per file.
    void SetRandomSource(modScramble::RandomSource random) { m_random = std::move(random); }
    // The listener address in use. The default is modNetwork::GetListenerIP:
    // the stored "ListenerIP" while it is one of this machine's addresses.
    void SetListenerAddressSource(std::function<QString()> source);
    // The listener address Run would take now; empty when there is none.
    QString ListenerAddress() const;

    // The second registry path handed to the engine: the console's key + "\Handler".
    static QString EngineRegistryPath();

Q_SIGNALS:
    void ClientStatusChanged(int computerId, const QString &status);
    void LastClient();
    void Message(int level, const QString &text);
    void Progress(const QString &text);
    void ProcessingComplete();
    void TestReceived();
    // A check's finding for a computer (the engine's client number translated).
    void ClientFinding(int computerId, int code, const QString &text);
    void ClientPending(int computerId, int tries, const QDateTime &next, const QString &reason);
    void WaveProgress(const QString &text, bool line);

    void EditColorsRequested();
    void BusyChanged(bool busy);

private:
    void start(JobExport &database, const QString &resultsFolder, bool check);
    void connectEngine();
    void setRunning(bool running);
    static bool running();
    int clientForNodeKey(const QString &nodeKey);
    // The file of `client`, whose cells are in `row` of the two arrays.
    QByteArray configFile(const JobArray &clients, const JobArray &settings, int row, int client);

    void engineClientStatusChanged(int client, const QString &status);
    void engineClientSuccess(int client);
    void engineError(int number);
    void engineProcessingComplete();
    void engineTestReceived();

    std::unique_ptr<DispatchWrapper> m_catalogue;
    std::unique_ptr<QXEHandler> m_engine;
    int m_clientCount = 0;
    QString m_regPath;
    QString m_consoleIP;
    QString m_listenerIP;
    int m_listenerPort = ConsoleConfig::DefaultListenerPort;
    JobArray m_clientArray;
    JobArray m_settingsArray;
    TranslationArray m_translationArray;
    modScramble::RandomSource m_random;
    std::function<QString()> m_listenerAddressSource;
};
