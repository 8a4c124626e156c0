#pragma once

#include "settings/GlobalSettings.h"
#include "settings/sections/AccountRows.h"
#include "settings/sections/ManualAccountsModel.h"

#include <QDialog>

#include <array>

class QLabel;
class QPushButton;

// "Authentication Manual Override": the five accounts of a settings record,
// each with a Set button that takes the entry area's account and a
// Password button that asks for the account's password alone. OK writes a
// changed working copy into the linked record (its Valid set); Cancel and
// the window's close button write nothing.
class frmAuthManual final : public QDialog
{
    Q_OBJECT

public:
    explicit frmAuthManual(QWidget *parent = nullptr);

    void LinkSettings(const GlobalSettingsPtr &record);
    ManualAccountsModel &model() { return m_model; }

    void accept() override;

private:
    void LoadUsernames();
    void cmdSet_Click(int button);
    void cmdPassword_Click(int row);

    ManualAccountsModel m_model;
    std::array<QLabel *, AccountRowCount> m_accounts {};
    std::array<QPushButton *, AccountRowCount> m_passwordButtons {};
};
