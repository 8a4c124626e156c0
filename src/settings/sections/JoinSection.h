#pragma once

#include "settings/GlobalSettings.h"
#include "settings/sections/SettingsSection.h"

// The membership the computers get: a domain with its controller, or a
// workgroup, or (neither box ticked) the one they have.
//
// Two ways to show it. Boxes: "Join Domain" and "Join Workgroup", each with
// its own name field, both unticked for no change (a level of the tree may
// leave the membership to a higher one). Choice: the two as options of which
// one is always chosen, sharing one name field (a setup that changes the
// domain must say where the computers go).
class JoinSection final : public SettingsSection
{
    Q_OBJECT

public:
    enum Control : int {
        JoinDomain,
        JoinDomainName,
        DomDCName,
        DomDCIP,
        LookupJoinDC,
        JoinWorkgroup,
        JoinWorkgroupName,
        JoinName, // the shared name field of the Choice style
    };
    enum class Style {
        Boxes,
        Choice,
    };

    // Shown in the empty workgroup field as a prompt, never stored as its text:
    // a prompt saved as a name would only earn "Invalid characters found".
    static inline const QString WorkgroupPrompt = QStringLiteral("<Enter Workgroup Name Here>");

    explicit JoinSection(QObject *parent = nullptr);
    JoinSection(Style style, QObject *parent = nullptr);

    Style style() const { return m_style; }

    // False for a join value the console does not know; the fields then
    // keep what they showed, and the host reports it in its own name.
    static bool KnownJoinValue(int joinVal);
    void load(const GlobalSettings &record, bool inherited);
    // A ticked box counts whether it is the level's own or inherited.
    void store(GlobalSettings &record) const;

    bool commandEnabled(int control) const override;

protected:
    void applyLocks() override;
    void typed(int control) override;
    void clicked(int control, bool ticked) override;

private:
    Style m_style = Style::Boxes;
};
