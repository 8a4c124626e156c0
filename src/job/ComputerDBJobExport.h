#pragma once

#include <QSet>

#include "engine/JobExport.h"

class ComputerDB;
class GlobalSettings;
struct RollbackJob;

// The computer database as a run exports it: one row per enabled computer,
// in ID order, into the engine's translation, client and settings arrays.
// QXEInterface::Run takes it as its JobExport.
//
// The columns are those of engine/JobColumns.h.
// A domain "*LOCAL ACCOUNT*" goes out as the computer's own name.
class ComputerDBJobExport final : public JobExport
{
public:
    // What the clients get when no minimum free space is set.
    static constexpr int DefaultMinFreeSpace = 100;

    explicit ComputerDBJobExport(ComputerDB &database);

    // Replaces the three arrays. Sets AppState's ExportComputerCount to the
    // number of computer IDs handed out; with none the arrays stay as they
    // were. An effective record without a minimum free space gets the
    // default written into it, for every node that uses it.
    //
    // When IDs exist but no computer is active, the arrays are left with no
    // rows and ExportComputerCount is 0, so that Run refuses the job as an
    // empty migration list: a run without clients would never complete. A
    // failure on the way does the same after it is reported; a run never
    // gets half a job.
    void ExportArrays(JobArray &clientArray, JobArray &settingsArray, TranslationArray &translationArray,
        const ConfigFileWriter &createConfigFile) override;

    // The same rows one at a time; the arrays of a run are left alone.
    bool ExportRows(const RowConfigWriter &createConfigFile, const RowVisitor &visit) override;

    static QString ConfigFileName(); // "varnoosk.cfg"

    // Exports only the rollback's computers, each told to join its source
    // domain again with the rollback's account (no join and no workgroup
    // without one). `job` outlives the export.
    void SetRollback(const RollbackJob *job) { m_rollback = job; }
    // Only the computers of one wave (vo run --wave); empty for the whole job.
    void SetWave(const QString &wave) { m_wave = wave; }
    // Only these computers (a run taken up again after its engine died); nullptr for all.
    void SetComputers(const QSet<qint32> *computers) { m_only = computers; }
    // Of those, the ones the engine asks how they stand before delivering.
    void SetAskFirst(const QSet<qint32> *computers) { m_askFirst = computers; }
    QList<modEngineLink::JobWave> Waves() const override;

private:
    // Calls `row` with the row number and computer ID of every active
    // computer, in ID order, and sets ExportComputerCount; the number of rows.
    int forEachRow(const std::function<bool(int row, int id)> &row);
    void exportRow(int row, int id, JobArray &clientArray, JobArray &settingsArray, const ConfigFileWriter &createConfigFile);
    void exportRollbackJoin(int row, const GlobalSettings &settings, JobArray &settingsArray) const;

    ComputerDB &m_database;
    const RollbackJob *m_rollback = nullptr;
    QString m_wave;
    const QSet<qint32> *m_only = nullptr;
    const QSet<qint32> *m_askFirst = nullptr;
};
