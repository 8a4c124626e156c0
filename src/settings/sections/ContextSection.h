#pragma once

#include "settings/GlobalSettings.h"
#include "settings/sections/SettingsSection.h"

// One side of a migration, source or destination: the context (a domain, or
// local accounts of each computer), its domain controller and the
// controller's address, with the lookup that finds the address.
class ContextSection final : public SettingsSection
{
    Q_OBJECT

public:
    enum class Side {
        Source,
        Destination,
    };
    enum Control : int {
        UseLocal,
        Context,
        DC,
        DCIP,
        LookupDC,
    };

    explicit ContextSection(Side side, QObject *parent = nullptr);

    Side side() const { return m_side; }

    // A context of "*LOCAL ACCOUNT*" ticks the use-local box and empties the
    // context text; otherwise the three texts show the record's. An inherited
    // record shows grey, its tick greyed.
    void load(const GlobalSettings &record, bool inherited);
    void store(GlobalSettings &record) const;

    // The lookup needs a controller name to look up.
    bool commandEnabled(int control) const override;

protected:
    void applyLocks() override;

private:
    Side m_side;
};
