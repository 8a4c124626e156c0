#pragma once

#include "settings/UserProfiles.h"
#include "settings/sections/AddMigrationModel.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QRadioButton;

// "Add New Profile Migration": one entry for the linked computer's list.
// "&Add Migration" closes the dialog when the entry went in; Cancel and the
// close button leave the list as it was.
class frmAddMigration final : public QDialog
{
    Q_OBJECT

public:
    explicit frmAddMigration(QWidget *parent = nullptr);

    void LinkList(const UserProfilesPtr &list);
    AddMigrationModel &model() { return m_model; }

private:
    void refresh();
    void cmdAddMigration_Click();

    AddMigrationModel m_model;
    std::array<QLineEdit *, AddMigrationModel::FieldCount> m_fields {};
    std::array<QRadioButton *, AddMigrationModel::FieldCount> m_options {};
};
