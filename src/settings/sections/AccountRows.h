#pragma once

#include "settings/GlobalSettings.h"

#include <QString>

#include <array>

// The five accounts as the console lists them, top to bottom: the panel's
// account labels and the manual account dialog's rows and Set buttons. Row
// (and button) 0 is Administrator A, which is slot 1, and row 1 is
// Administrator B, slot 0: the slots are numbered by the services' order of
// work, the rows by what an administrator sets up first.
struct AccountRow
{
    const char *LabelName; // the panel's label
    const char *Caption;
    const char *Description;
    int Slot;
};

inline constexpr int AccountRowCount = 5;

inline constexpr std::array<AccountRow, AccountRowCount> AccountRows {{
    {"lblVarnoUser", "Administrator A:", "The account which performs initial operations (pre-domain join, if applicable)", AdminA},
    {"lblOskUser", "Administrator B:", "The account which performs secondary operations (post-domain join, if applicable)", AdminB},
    {"lblJoinDomUser", "Domain Join Privileges:", "The account with privileges to join the new domain", DomainJoin},
    {"lblSourceSIDUser", "Source SID Lookup:", "The account which performs SID lookups in the source context", SourceSIDLookup},
    {"lblDestSIDUser", "Destination SID Lookup:", "The account which performs SID lookups in the destination context",
        DestinationSIDLookup},
}};

// Shown for a slot without an account.
inline const QString NotSpecifiedAccount = QStringLiteral("- Not specified -");
