#pragma once

// The job the run benchmarks play: computers spread over 2,000 groups, two
// user migrations each, settings that pass every check.

#include "database/ComputerDB.h"
#include "engine/ManualScheduler.h"
#include "engine/QXEInterface.h"
#include "engine/SimulatedEngine.h"
#include "engine/modEngine.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"

#include <QRandomGenerator>

#include <memory>
#include <vector>

namespace BenchJob {

// The engine interface over the simulated engine, on a clock the benchmark
// turns, listening on loopback only.
struct SimulatedRun
{
    ManualScheduler *clock = nullptr;
    SimulatedEngine *engine = nullptr;
    std::unique_ptr<QXEInterface> qxe;
};

inline SimulatedRun simulatedRun()
{
    SimulatedRun run;
    auto scheduler = std::make_unique<ManualScheduler>();
    run.clock = scheduler.get();
    modEngine::SetFactory([&] {
        auto made = std::make_unique<SimulatedEngine>(std::move(scheduler));
        run.engine = made.get();
        return made;
    });
    run.qxe = std::make_unique<QXEInterface>();
    modEngine::SetFactory({});
    run.qxe->SetListenerAddressSource([] { return QStringLiteral("127.0.0.1"); });
    return run;
}

constexpr int kGroups = 2000;

inline void sound(GlobalSettings &s)
{
    s.SetDefaults();
    s.SetUser(AdminA, QStringLiteral("varno-svc"), QStringLiteral("Pa55-A"), QStringLiteral("OLDCORP"));
    s.SetUser(AdminB, QStringLiteral("osk-svc"), QStringLiteral("Pa55-B"), QStringLiteral("NEWCORP"));
    s.SetUser(SourceSIDLookup, QStringLiteral("lookup-old"), QStringLiteral("Pa55-3"), QStringLiteral("OLDCORP"));
    s.SetUser(DestinationSIDLookup, QStringLiteral("lookup-new"), QStringLiteral("Pa55-4"), QStringLiteral("NEWCORP"));
    s.SetUser(DomainJoin, QStringLiteral("join-svc"), QStringLiteral("Pa55-2"), QStringLiteral("NEWCORP"));
    s.SourceDomain = QStringLiteral("OLDCORP");
    s.SourceDCName = QStringLiteral("OLD-DC1");
    s.SourceDCIP = QStringLiteral("192.0.2.10");
    s.DestinationDomain = QStringLiteral("NEWCORP");
    s.DestinationDCName = QStringLiteral("NEW-DC1");
    s.DestinationDCIP = QStringLiteral("192.0.2.20");
    s.JoinVal = JoinDomain;
    s.JoinName = QStringLiteral("NEWCORP");
    s.JoinDCName = QStringLiteral("NEW-DC1");
    s.JoinDCIP = QStringLiteral("192.0.2.20");
}

// Computers spread over the groups; every tenth group has settings of its own.
inline void fill(ComputerDB &db, int computers)
{
    sound(*db.GetSettings(QStringLiteral("G"), -1));
    std::vector<int> groups;
    for (int g = 0; g < kGroups; ++g) {
        const int id
            = db.AddFolder(QStringLiteral("Group%1").arg(g, 4, 10, QLatin1Char('0')), g < 40 ? -1 : groups[static_cast<size_t>(g % 40)]);
        groups.push_back(id);
        if (g % 10 == 0) {
            QString source;
            GlobalSettingsPtr own = db.GetEffectiveSettings(QStringLiteral("F"), id, source)->Clone();
            own->MinFreeSpace = 250;
            db.AddSettings(own, id, QStringLiteral("F"));
        }
    }
    QRandomGenerator random(20261206);
    for (int i = 0; i < computers; ++i) {
        const int group = groups[random.bounded(static_cast<quint32>(groups.size()))];
        const int id = db.AddComputer(QStringLiteral("WS%1").arg(i, 6, 10, QLatin1Char('0')), QString(), group, -1);
        const UserProfilesPtr list = db.GetComputerUserList(id);
        list->AddUserToUser(QStringLiteral("user%1").arg(i % 97), QStringLiteral("new.user%1").arg(i % 97));
        list->AddUserToUser(QStringLiteral("admin%1").arg(i % 89), QStringLiteral("new.admin%1").arg(i % 89));
    }
}

} // namespace BenchJob
