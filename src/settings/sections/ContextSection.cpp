#include "settings/sections/ContextSection.h"

ContextSection::ContextSection(Side side, QObject *parent)
    : SettingsSection(side == Side::Source ? std::vector<ControlState> {checkControl("chkSourceUseLocal"), textControl("txtSourceContext"),
                          textControl("txtSourceDC"), textControl("txtSourceDCIP"), commandControl("cmdLookupSourceDC")}
                                           : std::vector<ControlState> {checkControl("chkDestUseLocal"), textControl("txtDestContext"),
                                               textControl("txtDestDC"), textControl("txtDestDCIP"), commandControl("cmdLookupDestDC")},
        parent)
    , m_side(side)
{ }

void ContextSection::load(const GlobalSettings &record, bool inherited)
{
    Batch batch(*this);
    const bool source = m_side == Side::Source;
    const QString &domain = source ? record.SourceDomain : record.DestinationDomain;
    setTextsInherited(inherited);
    if (domain == LocalAccountDomain) {
        // The controller texts stay as a higher level drew them; the lock empties them.
        setCheck(UseLocal, onValue(inherited));
        setText(Context, QString());
    } else {
        setCheck(UseLocal, Unchecked);
        setText(Context, domain);
        setText(DC, source ? record.SourceDCName : record.DestinationDCName);
        setText(DCIP, source ? record.SourceDCIP : record.DestinationDCIP);
    }
    updateLocks();
}

void ContextSection::store(GlobalSettings &record) const
{
    const bool local = isOn(UseLocal);
    const QString domain = local ? LocalAccountDomain : text(Context);
    const QString dcName = local ? QString() : text(DC);
    const QString dcIP = local ? QString() : text(DCIP);
    if (m_side == Side::Source) {
        record.SourceDomain = domain;
        record.SourceDCName = dcName;
        record.SourceDCIP = dcIP;
    } else {
        record.DestinationDomain = domain;
        record.DestinationDCName = dcName;
        record.DestinationDCIP = dcIP;
    }
}

bool ContextSection::commandEnabled(int control) const
{
    return control != LookupDC || !text(DC).isEmpty();
}

void ContextSection::applyLocks()
{
    lockTexts({Context, DC, DCIP}, isOn(UseLocal), true);
}
