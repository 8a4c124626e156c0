#pragma once

#include "engine/JobArray.h"
#include "engine/modEngineLink.h"

#include <QByteArray>

#include <functional>

class TranslationArray;

// What a run needs from the computer database: the export of its active
// computers into the engine's three arrays. QXEInterface::Run calls it with
// its own members; the database fills them and, for each row, once every
// other cell of that row is written, asks for the row's configuration file
// and stores it in client column 10.
class JobExport
{
public:
    // Returns the scrambled "varnoosk.cfg" of the given row (engine client number).
    using ConfigFileWriter = std::function<QByteArray(int row)>;

    // One row of the job on its own: its cells in row 1 of a client and a
    // settings array.
    struct Row
    {
        int Client = 0; // engine client number
        qint32 ComputerId = -1;
        JobArray Clients;
        JobArray Settings;
    };
    // The row's scrambled "varnoosk.cfg", made from its cells.
    using RowConfigWriter = std::function<QByteArray(const Row &row)>;
    // Takes one row; false stops the export.
    using RowVisitor = std::function<bool(const Row &row)>;

    virtual ~JobExport() = default;

    virtual void ExportArrays(
        JobArray &clientArray, JobArray &settingsArray, TranslationArray &translationArray, const ConfigFileWriter &createConfigFile)
        = 0;

    // The rows ExportArrays makes, one at a time and each dropped once
    // `visit` has it, for a job that is written out as it is made (vo
    // export): memory is that of one row, whatever the size of the job.
    // False when the export failed (it was reported) or `visit` stopped it.
    virtual bool ExportRows(const RowConfigWriter &createConfigFile, const RowVisitor &visit) = 0;

    // The waves of the job in run order; the Wave column names one of them.
    virtual QList<modEngineLink::JobWave> Waves() const { return {}; }
};
