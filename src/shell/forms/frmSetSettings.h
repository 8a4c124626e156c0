#pragma once

#include "settings/GlobalSettings.h"
#include "settings/sections/ContextSection.h"
#include "settings/sections/JoinSection.h"
#include "settings/sections/OptionsSection.h"

#include <QDialog>

class QPushButton;

// Edit > Set Settings...: the panel's source, destination, domain join and
// options pages in a dialog of their own, opened once for many computers.
class frmSetSettings final : public QDialog
{
    Q_OBJECT

public:
    // `count` computers get the result; the pages start from `start`.
    frmSetSettings(const GlobalSettings &start, int count, QWidget *parent = nullptr);

    // A copy of `start` with what the pages hold; meaningful once accepted.
    GlobalSettingsPtr result() const;

private:
    GlobalSettingsPtr m_start;
    ContextSection m_source {ContextSection::Side::Source};
    ContextSection m_destination {ContextSection::Side::Destination};
    JoinSection m_join;
    OptionsSection m_options;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};
