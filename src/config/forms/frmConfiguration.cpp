#include "config/forms/frmConfiguration.h"

#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/widgets/modKeyboard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using Config = ConsoleConfig;

QLineEdit *textField(QWidget *owner, const char *name, const char *tip)
{
    auto *edit = new QLineEdit(owner);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setToolTip(QString::fromLatin1(tip));
    return edit;
}

QComboBox *listField(QWidget *owner, const char *name, const char *tip)
{
    auto *list = new QComboBox(owner);
    list->setObjectName(QString::fromLatin1(name));
    list->setToolTip(QString::fromLatin1(tip));
    list->setMinimumContentsLength(15);
    return list;
}

QGroupBox *group(QWidget *owner, const char *name, const QString &title, QFormLayout *&form)
{
    auto *box = new QGroupBox(title, owner);
    box->setObjectName(QString::fromLatin1(name));
    form = new QFormLayout(box);
    return box;
}

} // namespace

frmConfiguration::frmConfiguration(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmConfiguration"));
    setWindowTitle(QStringLiteral("Configuration"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    txtLogPath = textField(this, "txtLogPath", "Path in which log files are created");
    txtLogPath->setMinimumWidth(320);
    cmdBrowse = new QPushButton(QStringLiteral("..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setToolTip(QStringLiteral("Browse Folders..."));
    cmdBrowse->setAccessibleName(QStringLiteral("Browse for the log folder"));
    cmdBrowse->setMaximumWidth(cmdBrowse->fontMetrics().horizontalAdvance(cmdBrowse->text()) + 24);
    cboListenerIP = listField(this, "cboListenerIP", "Local IP address which Console will use to receive client communications");
    txtListenerPort = textField(this, "txtListenerPort", "TCP port which will receive network communication from clients");
    cboConsoleIP = listField(this, "cboConsoleIP",
        "IP Address provided to clients for network communication -- not necessarily a local address on the Console system");
    // The clients may reach the console through an address it does not hold
    // itself (a NAT), so the address can be typed too.
    cboConsoleIP->setEditable(true);
    txtDestShare = textField(this, "txtDestShare", "Valid share name on client PCs to which client files will be installed");
    txtDestPath = textField(this, "txtDestPath", "Path in Destination Share to which client files will be installed");
    txtCheckPeriod = textField(this, "txtCheckPeriod", "Period in seconds between idle Transferor checks");
    txtReportingPeriod = textField(this, "txtReportingPeriod", "Period in seconds during which a client is expected to report");
    txtKeepAliveIncr = textField(this, "txtKeepAliveIncr",
        "Seconds appended to increment the reporting period when a Keep Alive is requested (e.g. during long operations like reboot)");
    txtLoggingLevel = textField(this, "txtLoggingLevel", "Logging detail level from 1 (Normal) to 9 (Verbose/Debug)");
    txtMaxTransferors = textField(this, "txtMaxTransferors", "Maximum number of Transferor processes to execute simultaneously");
    txtPingsInFlight = textField(this, "txtPingsInFlight",
        "Number of clients the ping test pings at once; 1 pings one after the other, each waiting up to two seconds for its reply");
    txtRetryInterval = textField(this, "txtRetryInterval",
        "How long to wait before a client that could not be reached is tried again, from 10 s to 24 h (\"5 min\", \"1 h 30 min\")");
    txtPendingTimeout = textField(this, "txtPendingTimeout",
        "How long after its first try a client that could not be reached, or that stopped reporting, is waited for before it "
        "ends with errors, from 1 min to 14 d; \"off\" ends it at once");
    // Read only, but focusable, so that the fingerprint can be selected and copied.
    txtCertificate = textField(this, "txtCertificate",
        "SHA-256 fingerprint of the certificate the listener shows the clients; vo engine cert --renew makes a new one");
    txtCertificate->setReadOnly(true);
    txtCertificate->setAccessibleName(QStringLiteral("Certificate fingerprint"));
    txtCertificate->setText(ConfigurationModel::CertificateText());
    txtCertificate->setCursorPosition(0);
    // The whole fingerprint in view: it is compared by eye.
    txtCertificate->setMinimumWidth(txtCertificate->fontMetrics().horizontalAdvance(txtCertificate->text()) + 16);
    chkWelcomeScreen = new QCheckBox(QStringLiteral("Show &Welcome Screen at startup"), this);
    chkWelcomeScreen->setObjectName(QStringLiteral("chkWelcomeScreen"));

    QFormLayout *form = nullptr;
    QGroupBox *logSettings = group(this, "fraLogSettings", QStringLiteral("Log Settings"), form);
    auto *logRow = new QHBoxLayout;
    logRow->addWidget(txtLogPath, 1);
    logRow->addWidget(cmdBrowse);
    // A row of two takes no buddy of its own: the label's letter goes to the path.
    auto *logLabel = new QLabel(QStringLiteral("&Log Path:"), this);
    logLabel->setBuddy(txtLogPath);
    form->addRow(logLabel, logRow);

    QGroupBox *networkSettings = group(this, "fraNetworkSettings", QStringLiteral("Network Settings"), form);
    form->addRow(QStringLiteral("Listener &IP:"), cboListenerIP);
    form->addRow(QStringLiteral("Listener P&ort:"), txtListenerPort);

    QGroupBox *clientSettings = group(this, "fraClientSettings", QStringLiteral("Client Settings"), form);
    form->addRow(QStringLiteral("&Console IP:"), cboConsoleIP);
    form->addRow(QStringLiteral("Destination &Share:"), txtDestShare);
    form->addRow(QStringLiteral("Destination &Path:"), txtDestPath);

    QGroupBox *advancedSettings = group(this, "fraAdvancedSettings", QStringLiteral("Advanced Settings"), form);
    form->addRow(QStringLiteral("C&heck Period:"), txtCheckPeriod);
    form->addRow(QStringLiteral("&Reporting Period:"), txtReportingPeriod);
    form->addRow(QStringLiteral("&Keep Alive Incr.:"), txtKeepAliveIncr);
    form->addRow(QStringLiteral("Lo&gging Level:"), txtLoggingLevel);
    form->addRow(QStringLiteral("&Max. Transferors:"), txtMaxTransferors);
    form->addRow(QStringLiteral("Pi&ngs at Once:"), txtPingsInFlight);
    form->addRow(QStringLiteral("Retr&y Interval:"), txtRetryInterval);
    form->addRow(QStringLiteral("Pending &Timeout:"), txtPendingTimeout);

    QGroupBox *certificate = group(this, "fraCertificate", QStringLiteral("Listener Certificate"), form);
    form->addRow(QStringLiteral("SHA-256 &Fingerprint:"), txtCertificate);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdApply = new QPushButton(QStringLiteral("&Apply"), this);
    cmdApply->setObjectName(QStringLiteral("cmdApply"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(chkWelcomeScreen);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdApply);

    auto *columns = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addWidget(networkSettings);
    left->addWidget(clientSettings);
    left->addStretch(1);
    columns->addLayout(left);
    columns->addWidget(advancedSettings, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(logSettings);
    layout->addLayout(columns);
    layout->addWidget(certificate);
    layout->addLayout(buttons);

    modKeyboard::TabOrder({txtLogPath, cmdBrowse, cboListenerIP, txtListenerPort, cboConsoleIP, txtDestShare, txtDestPath, txtCheckPeriod,
        txtReportingPeriod, txtKeepAliveIncr, txtLoggingLevel, txtMaxTransferors, txtPingsInFlight, txtRetryInterval, txtPendingTimeout,
        txtCertificate, chkWelcomeScreen, cmdOK, cmdCancel, cmdApply});

    const bool opened = m_model.Load();
    txtLogPath->setText(m_model.Text(Config::LogPath));
    if (m_model.LocalAddresses().isEmpty())
        cboListenerIP->addItem(ConfigurationModel::NoIPsFound);
    else
        cboListenerIP->addItems(m_model.LocalAddresses());
    cboListenerIP->setCurrentText(m_model.Text(Config::ListenerIP));
    txtListenerPort->setText(m_model.Text(Config::ListenerPort));
    cboConsoleIP->addItem(ConfigurationModel::UseListenerIP);
    cboConsoleIP->addItems(m_model.LocalAddresses());
    cboConsoleIP->setCurrentText(m_model.Text(Config::ConsoleIP));
    txtDestShare->setText(m_model.Text(Config::DestShare));
    txtDestPath->setText(m_model.Text(Config::DestPath));
    txtCheckPeriod->setText(m_model.Text(Config::StatusCheckPeriod));
    txtReportingPeriod->setText(m_model.Text(Config::ReportingPeriod));
    txtKeepAliveIncr->setText(m_model.Text(Config::KeepAliveIncrement));
    txtLoggingLevel->setText(m_model.Text(Config::LoggingLevel));
    txtMaxTransferors->setText(m_model.Text(Config::MaxTransferors));
    txtPingsInFlight->setText(m_model.Text(Config::PingsInFlight));
    txtRetryInterval->setText(m_model.Text(Config::RetryInterval));
    txtPendingTimeout->setText(m_model.Text(Config::PendingTimeout));
    chkWelcomeScreen->setChecked(m_model.ShowWelcomeScreen());
    cmdApply->setEnabled(false);

    for (QLineEdit *edit : findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textEdited, this, &frmConfiguration::changed);
    connect(cboListenerIP, &QComboBox::activated, this, &frmConfiguration::changed);
    connect(cboConsoleIP, &QComboBox::activated, this, &frmConfiguration::changed);
    connect(chkWelcomeScreen, &QCheckBox::toggled, this, &frmConfiguration::changed);
    connect(cmdOK, &QPushButton::clicked, this, &frmConfiguration::cmdOK_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmConfiguration::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmConfiguration::cmdBrowse_Click);

    if (!opened)
        modErrorHandler::ShowMessage(modErrorHandler::Information, ConfigurationModel::RegistryNotOpened);
}

void frmConfiguration::changed()
{
    cmdApply->setEnabled(true);
}

QWidget *frmConfiguration::fieldWidget(ConfigurationModel::Field field) const
{
    switch (field) {
    case Config::LogPath:
        return txtLogPath;
    case Config::ListenerIP:
        return cboListenerIP;
    case Config::ListenerPort:
        return txtListenerPort;
    case Config::ConsoleIP:
        return cboConsoleIP;
    case Config::DestShare:
        return txtDestShare;
    case Config::DestPath:
        return txtDestPath;
    case Config::StatusCheckPeriod:
        return txtCheckPeriod;
    case Config::ReportingPeriod:
        return txtReportingPeriod;
    case Config::KeepAliveIncrement:
        return txtKeepAliveIncr;
    case Config::LoggingLevel:
        return txtLoggingLevel;
    case Config::MaxTransferors:
        return txtMaxTransferors;
    case Config::PingsInFlight:
        return txtPingsInFlight;
    case Config::RetryInterval:
        return txtRetryInterval;
    case Config::PendingTimeout:
        return txtPendingTimeout;
    default:
        return nullptr;
    }
}

QString frmConfiguration::fieldText(ConfigurationModel::Field field) const
{
    QWidget *widget = fieldWidget(field);
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *list = qobject_cast<QComboBox *>(widget))
        return list->currentText();
    return QString();
}

bool frmConfiguration::SaveSettings()
{
    for (int field = 0; field < ConfigurationModel::FieldCount; ++field)
        m_model.SetText(ConfigurationModel::Field(field), fieldText(ConfigurationModel::Field(field)));
    m_model.SetShowWelcomeScreen(chkWelcomeScreen->isChecked());
    const ConfigurationModel::Outcome outcome = m_model.SaveSettings();
    if (outcome.saved)
        return true;
    modErrorHandler::ShowMessage(modErrorHandler::Information, outcome.message);
    if (outcome.focus) {
        QWidget *widget = fieldWidget(*outcome.focus);
        widget->setFocus();
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            edit->selectAll();
    }
    return false;
}

void frmConfiguration::cmdOK_Click()
{
    if (SaveSettings())
        accept();
}

void frmConfiguration::cmdApply_Click()
{
    if (SaveSettings())
        cmdApply->setEnabled(false);
}

void frmConfiguration::cmdBrowse_Click()
{
    Presenter::FolderRequest request;
    request.caption = QStringLiteral("Browse Folders...");
    request.prompt = QStringLiteral("Select folder for logs:");
    request.folder = txtLogPath->text();
    request.owner = this;
    const std::optional<QString> folder = Presenter::current().askFolder(request);
    if (!folder)
        return;
    txtLogPath->setText(*folder);
    changed();
}
