#pragma once

#include "config/ConfigurationModel.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

// Tools > Configuration...: the console's configuration, checked and saved
// by ConfigurationModel. Every opening reloads from the registry.
class frmConfiguration : public QDialog
{
    Q_OBJECT

public:
    explicit frmConfiguration(QWidget *owner = nullptr);

    // Checks the fields and, when all pass, writes them; the first refusal
    // is shown and its field takes the focus.
    bool SaveSettings();

private:
    void cmdOK_Click();
    void cmdApply_Click();
    void cmdBrowse_Click();
    void changed();
    QWidget *fieldWidget(ConfigurationModel::Field field) const;
    QString fieldText(ConfigurationModel::Field field) const;

    ConfigurationModel m_model;
    QLineEdit *txtLogPath = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QComboBox *cboListenerIP = nullptr;
    QLineEdit *txtListenerPort = nullptr;
    QComboBox *cboConsoleIP = nullptr;
    QLineEdit *txtDestShare = nullptr;
    QLineEdit *txtDestPath = nullptr;
    QLineEdit *txtCheckPeriod = nullptr;
    QLineEdit *txtReportingPeriod = nullptr;
    QLineEdit *txtKeepAliveIncr = nullptr;
    QLineEdit *txtLoggingLevel = nullptr;
    QLineEdit *txtMaxTransferors = nullptr;
    QLineEdit *txtPingsInFlight = nullptr;
    QLineEdit *txtRetryInterval = nullptr;
    QLineEdit *txtPendingTimeout = nullptr;
    QLineEdit *txtCertificate = nullptr;
    QCheckBox *chkWelcomeScreen = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdCancel = nullptr;
};
