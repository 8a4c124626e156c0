#pragma once

#include <QByteArray>

#include <functional>

class JobArray;
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

    virtual ~JobExport() = default;

    virtual void ExportArrays(
        JobArray &clientArray, JobArray &settingsArray, TranslationArray &translationArray, const ConfigFileWriter &createConfigFile)
        = 0;
};
