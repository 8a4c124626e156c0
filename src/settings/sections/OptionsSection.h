#pragma once

#include "settings/GlobalSettings.h"
#include "settings/sections/SettingsSection.h"

#include <optional>

// The reboot and profile options with the minimum free disk space, and the
// way they hang together: copying a profile is what the Temporary Internet
// Files and the disk-space options refine, and forcing applications closed
// only means something while reboots are allowed.
class OptionsSection final : public SettingsSection
{
    Q_OBJECT

public:
    enum Control : int {
        RebootAllow,
        RebootForce,
        CopyProfile,
        NoTempInternet,
        OverwriteProfile,
        MinFreeSpace,
        MinFreeSpaceValue,
    };

    static constexpr int MaxMinFreeSpace = 102400;

    explicit OptionsSection(QObject *parent = nullptr);

    void load(const GlobalSettings &record, bool inherited);
    // A greyed tick is stored as 1: saving makes it the level's own.
    void store(GlobalSettings &record) const;

    // The number typed as disk space: digits with an optional sign, decimal
    // point and exponent, blanks around it; nothing for anything else.
    static std::optional<double> ReadNumber(const QString &text);

protected:
    void applyLocks() override;
    void typed(int control) override;
    void clicked(int control, bool ticked) override;
};
