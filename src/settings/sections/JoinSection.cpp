#include "settings/sections/JoinSection.h"

JoinSection::JoinSection(QObject *parent)
    : JoinSection(Style::Boxes, parent)
{ }

JoinSection::JoinSection(Style style, QObject *parent)
    : SettingsSection({checkControl("chkJoinDomain"), textControl("txtJoinDomainName"), textControl("txtDomDCName"),
                          textControl("txtDomDCIP"), commandControl("cmdLookupJoinDC"), checkControl("chkJoinWorkgroup"),
                          textControl("txtJoinWorkgroupName"), textControl("txtJoinName")},
        parent)
    , m_style(style)
{ }

bool JoinSection::KnownJoinValue(int joinVal)
{
    return joinVal == ::JoinNone || joinVal == ::JoinDomain || joinVal == ::JoinWorkgroup;
}

void JoinSection::load(const GlobalSettings &record, bool inherited)
{
    Batch batch(*this);
    setTextsInherited(inherited);
    if (m_style == Style::Choice) {
        // A record that changes no membership starts at a domain join, the
        // usual aim of a domain change; the administrator may pick the
        // workgroup instead.
        const bool workgroup = record.JoinVal == ::JoinWorkgroup;
        setCheck(JoinDomain, workgroup ? Unchecked : onValue(inherited));
        setCheck(JoinWorkgroup, workgroup ? onValue(inherited) : Unchecked);
        setText(JoinName, record.JoinName);
        setText(DomDCName, workgroup ? QString() : record.JoinDCName);
        setText(DomDCIP, workgroup ? QString() : record.JoinDCIP);
        updateLocks();
        return;
    }
    switch (record.JoinVal) {
    case ::JoinNone:
        setCheck(JoinDomain, Unchecked);
        setCheck(JoinWorkgroup, Unchecked);
        for (int field : {JoinDomainName, DomDCName, DomDCIP, JoinWorkgroupName})
            setText(field, QString());
        break;
    case ::JoinDomain:
        // The two boxes exclude each other; a higher level's workgroup must
        // not stay ticked beside this level's domain.
        setCheck(JoinWorkgroup, Unchecked);
        setCheck(JoinDomain, onValue(inherited));
        setText(JoinDomainName, record.JoinName);
        setText(DomDCName, record.JoinDCName);
        setText(DomDCIP, record.JoinDCIP);
        break;
    case ::JoinWorkgroup:
        setCheck(JoinDomain, Unchecked);
        setCheck(JoinWorkgroup, onValue(inherited));
        setText(JoinWorkgroupName, record.JoinName);
        break;
    default:
        break;
    }
    updateLocks();
}

void JoinSection::store(GlobalSettings &record) const
{
    if (m_style == Style::Choice) {
        record.JoinVal = isOn(JoinWorkgroup) ? ::JoinWorkgroup : ::JoinDomain;
        record.JoinName = text(JoinName);
    } else if (isOn(JoinDomain)) {
        record.JoinVal = ::JoinDomain;
        record.JoinName = text(JoinDomainName);
    } else if (isOn(JoinWorkgroup)) {
        record.JoinVal = ::JoinWorkgroup;
        record.JoinName = text(JoinWorkgroupName);
    } else {
        record.JoinVal = ::JoinNone;
        record.JoinName.clear();
    }
    record.JoinDCName = text(DomDCName);
    record.JoinDCIP = text(DomDCIP);
}

bool JoinSection::commandEnabled(int control) const
{
    return control != LookupJoinDC || !text(DomDCName).isEmpty();
}

void JoinSection::applyLocks()
{
    if (m_style == Style::Choice) {
        lockTexts({JoinDomainName, JoinWorkgroupName}, true, true);
        lockTexts({JoinName}, false, false);
        lockTexts({DomDCName, DomDCIP}, !isOn(JoinDomain), true);
        return;
    }
    lockTexts({JoinName}, true, true);
    // An inherited workgroup (greyed) stays as inherited; to change its name
    // the administrator ticks the box for this level first.
    lockTexts({JoinWorkgroupName}, check(JoinWorkgroup) != Checked, false);
    lockTexts({JoinDomainName, DomDCName, DomDCIP}, check(JoinDomain) == Unchecked, true);
}

void JoinSection::typed(int control)
{
    if (m_style == Style::Boxes)
        promote(control == JoinWorkgroupName ? JoinWorkgroup : JoinDomain);
    updateLocks();
}

void JoinSection::clicked(int control, bool ticked)
{
    // An option is chosen, not toggled: a click on the chosen one keeps it.
    if (m_style == Style::Choice && !ticked)
        setCheck(control, Checked);
    else if (ticked)
        setCheck(control == JoinDomain ? JoinWorkgroup : JoinDomain, Unchecked);
    updateLocks();
}
