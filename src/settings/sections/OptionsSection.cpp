#include "settings/sections/OptionsSection.h"

#include <QRegularExpression>

#include <cmath>

namespace {

int StoredOption(int checkValue)
{
    return checkValue == SettingsSection::Grayed ? 1 : checkValue;
}

} // namespace

OptionsSection::OptionsSection(QObject *parent)
    : SettingsSection(
        {checkControl("chkRebootAllow"), checkControl("chkRebootForce"), checkControl("chkCopyProfile"), checkControl("chkNoTempInternet"),
            checkControl("chkOverwriteProfile"), checkControl("chkMinFreeSpace"), textControl("txtMinFreeSpace")},
        parent)
{ }

std::optional<double> OptionsSection::ReadNumber(const QString &text)
{
    // Words such as "inf" that QString::toDouble would take are not numbers here.
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void OptionsSection::load(const GlobalSettings &record, bool inherited)
{
    Batch batch(*this);
    setTextsInherited(inherited);
    const int on = onValue(inherited);
    // -1 (not set) shows unticked, like 0.
    const auto option = [&](int box, int value) { setCheck(box, value == 1 ? on : Unchecked); };
    option(RebootAllow, record.RebootPermitted);
    option(RebootForce, record.ForceReboot);
    option(CopyProfile, record.CopyProfile);
    option(NoTempInternet, record.IgnoreTempInternetFiles);
    option(OverwriteProfile, record.OverwriteProfile);
    setCheck(MinFreeSpace, record.MinFreeSpace >= 0 ? on : Unchecked);
    if (record.MinFreeSpace != -1)
        setText(MinFreeSpaceValue, QString::number(record.MinFreeSpace));
    updateLocks();
}

void OptionsSection::store(GlobalSettings &record) const
{
    record.RebootPermitted = StoredOption(check(RebootAllow));
    record.ForceReboot = StoredOption(check(RebootForce));
    record.CopyProfile = StoredOption(check(CopyProfile));
    record.IgnoreTempInternetFiles = StoredOption(check(NoTempInternet));
    record.OverwriteProfile = StoredOption(check(OverwriteProfile));
    const std::optional<double> space = isOn(MinFreeSpace) ? ReadNumber(text(MinFreeSpaceValue)) : std::nullopt;
    record.MinFreeSpace = space ? static_cast<int>(std::trunc(*space)) : -1;
}

void OptionsSection::applyLocks()
{
    lockTexts({MinFreeSpaceValue}, check(MinFreeSpace) == Unchecked, true);
    // The dependants follow their masters after a load too, not only after
    // a click, so a record with copying off never shows a usable
    // "Temporary Internet Files" box.
    const bool copying = check(CopyProfile) != Unchecked;
    setLocked(NoTempInternet, !copying);
    setLocked(MinFreeSpace, !copying);
    setLocked(RebootForce, check(RebootAllow) == Unchecked);
}

void OptionsSection::typed(int)
{
    promote(MinFreeSpace);
    updateLocks();
}

void OptionsSection::clicked(int control, bool ticked)
{
    if (control == CopyProfile) {
        setCheck(NoTempInternet, ticked ? Checked : Unchecked);
        // The disk space goes with copying, and its number with it (the lock empties it).
        if (!ticked)
            setCheck(MinFreeSpace, Unchecked);
    } else if (control == RebootAllow) {
        setCheck(RebootForce, ticked ? Checked : Unchecked);
    }
    updateLocks();
}
