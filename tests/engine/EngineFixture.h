#pragma once

#include "common/AppState.h"
#include "common/RunState.h"
#include "common/modRegistry.h"
#include "engine/JobArray.h"
#include "engine/JobColumns.h"
#include "engine/JobExport.h"
#include "engine/TranslationArray.h"

#include "support/FixedAddressTable.h"
#include "support/ManualClock.h"
#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// A fresh registry with the console's key, a results folder of our own and
// a pinned clock: what every engine test starts from.
struct EngineFixture
{
    TestRegistry registry;
    QTemporaryDir logs;
    RecordingPresenter presenter;
    ManualClock clock {QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))};
    FixedAddressTable addresses {{QStringLiteral("127.0.0.1")}};

    EngineFixture()
    {
        AppState::Reset();
        AppState::Get().CurrentJobName = QStringLiteral("Job1");
        RegKey key = Reg::NoKey;
        modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key);
        modRegistry::CloseKey(key);
        set(QStringLiteral("LogPath"), logs.path());
        set(QStringLiteral("ListenerIP"), QStringLiteral("127.0.0.1"));
        // Chosen, as on a console in use; the tests of the choice remove it.
        set(QStringLiteral("Engine"), QStringLiteral("rehearsal"));
    }
    ~EngineFixture() { AppState::Reset(); }

    static void set(const QString &name, const QString &value) { modRegistry::SaveSettingString(AppState::Get().AppKeyPath, name, value); }
    QString resultsFolder() const { return logs.path() + QStringLiteral("/Job1/"); }
};

// One computer of a fake job.
struct FakeComputer
{
    int id = 0;
    QString name;
    QString sourceUsers = QString(); // settings column 1
    QString destinationUsers = QString(); // settings column 8
};

// Fills the three arrays as the database export does: client array 10 ×
// rows, settings array 24 × rows, one row per computer; every cell the
// configuration file is made from a text of its own, so that a column mixed
// up shows.
class FakeExport final : public JobExport
{
public:
    QList<FakeComputer> computers;
    // Called instead of the export's own work when set.
    std::function<void()> instead;

    bool ExportRows(const RowConfigWriter &, const RowVisitor &) override { return false; }

    void ExportArrays(JobArray &clientArray, JobArray &settingsArray, TranslationArray &translationArray,
        const ConfigFileWriter &createConfigFile) override
    {
        if (instead) {
            instead();
            return;
        }
        if (computers.isEmpty())
            return;
        const int rows = static_cast<int>(computers.size());
        clientArray.Create(ClientColumn::Count, rows);
        settingsArray.Create(SettingsColumn::Count, rows);
        translationArray.Create(rows);
        for (int r = 1; r <= rows; ++r) {
            const FakeComputer &c = computers.at(r - 1);
            translationArray[r] = c.id;
            clientArray.Set(ClientColumn::ComputerName, r, c.name);
            for (int col = ClientColumn::AdminADomain; col <= ClientColumn::AdminBPassword; ++col)
                clientArray.Set(col, r, QStringLiteral("c%1r%2").arg(col).arg(r));
            for (int col = 1; col <= SettingsColumn::Count; ++col)
                settingsArray.Set(col, r, QStringLiteral("s%1r%2").arg(col).arg(r));
            settingsArray.Set(SettingsColumn::SourceUsers, r, c.sourceUsers);
            settingsArray.Set(SettingsColumn::DestinationUsers, r, c.destinationUsers);
            clientArray.Set(ClientColumn::GeneratedFiles, r, QVariantList {QVariant(QVariantList {QStringLiteral("varnoosk.cfg"), createConfigFile(r)})});
        }
    }
};
