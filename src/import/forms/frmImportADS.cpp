#include "import/forms/frmImportADS.h"

#include "common/Presenter.h"
#include "common/ProgressBarLink.h"
#include "common/modErrorHandler.h"
#include "common/widgets/frmProgress.h"
#include "common/widgets/modKeyboard.h"
#include "database/ComputerDB.h"
#include "database/EditStep.h"
#include "import/ADComputerImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

namespace {

QLineEdit *lineEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

} // namespace

frmImportADS::frmImportADS(QWidget *owner)
    : QDialog(owner)
    , txtServer(lineEdit(this, "txtServer"))
    , txtPort(lineEdit(this, "txtPort"))
    , cboSecurity(new QComboBox(this))
    , txtCAFile(lineEdit(this, "txtCAFile"))
    , cmdCAFile(new QPushButton(QStringLiteral("..."), this))
    , txtUser(lineEdit(this, "txtUser"))
    , txtPassword(lineEdit(this, "txtPassword"))
    , txtDomain(lineEdit(this, "txtDomain"))
    , chkAllUsers(new QCheckBox(QStringLiteral("Migrate &all user profiles"), this))
    , cmdImport(new QPushButton(QStringLiteral("&Import Now"), this))
    , cmdCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("frmImportADS"));
    setWindowTitle(QStringLiteral("Import from Active Directory"));
    cboSecurity->setObjectName(QStringLiteral("cboSecurity"));
    cmdCAFile->setObjectName(QStringLiteral("cmdCAFile"));
    cmdCAFile->setAccessibleName(QStringLiteral("Browse for the certificate authority file"));
    chkAllUsers->setObjectName(QStringLiteral("chkAllUsers"));
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtServer->setToolTip(QStringLiteral("The name of the active directory server (name must resolve to IP)"));
    txtPort->setPlaceholderText(QStringLiteral("default"));
    txtPort->setMaxLength(5);
    for (const auto mode : {DirectoryClient::Security::Plain, DirectoryClient::Security::StartTLS, DirectoryClient::Security::LDAPS})
        cboSecurity->addItem(ADSImportInput::SecurityName(mode), QVariant::fromValue(int(mode)));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Server:"), txtServer);
    form->addRow(QStringLiteral("P&ort:"), txtPort);
    form->addRow(QStringLiteral("S&ecurity:"), cboSecurity);
    auto *caRow = new QHBoxLayout;
    caRow->addWidget(txtCAFile);
    caRow->addWidget(cmdCAFile);
    // A row of two widgets has no buddy of its own for the mnemonic.
    auto *lblCAFile = new QLabel(QStringLiteral("&Certificate authority:"), this);
    lblCAFile->setBuddy(txtCAFile);
    form->addRow(lblCAFile, caRow);
    form->addRow(QStringLiteral("&Username:"), txtUser);
    form->addRow(QStringLiteral("&Password:"), txtPassword);
    form->addRow(QStringLiteral("&Domain:"), txtDomain);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdImport, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(chkAllUsers);
    layout->addWidget(buttons);
    cmdImport->setDefault(true);
    modKeyboard::TabOrder(
        {txtServer, txtPort, cboSecurity, txtCAFile, cmdCAFile, txtUser, txtPassword, txtDomain, chkAllUsers, cmdImport, cmdCancel});

    connect(cmdImport, &QPushButton::clicked, this, &frmImportADS::DoImport);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdCAFile, &QPushButton::clicked, this, &frmImportADS::cmdCAFile_Click);
    connect(cboSecurity, &QComboBox::currentIndexChanged, this, &frmImportADS::updateSecurityControls);

    const ADSImportInput last = ADSImportInput::LoadLastInfo();
    txtServer->setText(last.Server);
    txtDomain->setText(last.Domain);
    txtUser->setText(last.User);
    txtPort->setText(last.Port);
    txtCAFile->setText(last.CAFile);
    cboSecurity->setCurrentIndex(cboSecurity->findData(int(last.Mode)));
    updateSecurityControls();
}

void frmImportADS::LinkRequired(ComputerDB *database, std::function<void()> rebuildOwnerTree)
{
    m_database = database;
    m_rebuildOwnerTree = std::move(rebuildOwnerTree);
}

void frmImportADS::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_activated && !txtServer->text().isEmpty() && !txtUser->text().isEmpty())
        txtPassword->setFocus();
    m_activated = true;
}

void frmImportADS::updateSecurityControls()
{
    const bool tls = cboSecurity->currentData().toInt() != int(DirectoryClient::Security::Plain);
    txtCAFile->setEnabled(tls);
    cmdCAFile->setEnabled(tls);
}

void frmImportADS::cmdCAFile_Click()
{
    Presenter::FileRequest request;
    request.caption = QStringLiteral("Certificate Authority");
    request.filter = QStringLiteral("Certificates (*.pem *.crt *.cer);;All files (*)");
    request.owner = this;
    if (const std::optional<QString> file = Presenter::current().askOpenFileName(request))
        txtCAFile->setText(*file);
}

ADSImportInput frmImportADS::readControls() const
{
    ADSImportInput input;
    input.Server = txtServer->text();
    input.Port = txtPort->text();
    input.Mode = DirectoryClient::Security(cboSecurity->currentData().toInt());
    input.CAFile = txtCAFile->text();
    input.User = txtUser->text();
    input.Domain = txtDomain->text();
    input.Password = txtPassword->text();
    input.AllUsers = chkAllUsers->isChecked();
    return input;
}

QWidget *frmImportADS::control(ADSImportInput::Field field) const
{
    switch (field) {
    case ADSImportInput::ServerField:
        return txtServer;
    case ADSImportInput::UserField:
        return txtUser;
    case ADSImportInput::DomainField:
        return txtDomain;
    case ADSImportInput::PortField:
        return txtPort;
    case ADSImportInput::CAFileField:
        return txtCAFile;
    case ADSImportInput::NoField:
        break;
    }
    return txtServer;
}

void frmImportADS::DoImport()
{
    modErrorHandler::Guard("frmImportADS.DoImport", [&] {
        if (!m_database) {
            modErrorHandler::ShowMessage(modErrorHandler::InternalError, QStringLiteral("Computer database not linked for ADS import."),
                QStringLiteral("frmImportADS.DoImport"));
            return;
        }
        ADSImportInput input = readControls();
        const ADSImportInput::Problem problem = input.DoInputChecks();
        if (!problem.ok()) {
            modErrorHandler::ShowMessage(modErrorHandler::Information, problem.Message);
            control(problem.Focus)->setFocus();
            return;
        }
        input.SaveLastInfo();

        DirectoryClient::Server server = input.ToServer();
        input.Password.fill(QLatin1Char('\0'));
        ADComputerImport import;
        // The test lets events run while it waits for the server; a second
        // press of Import Now must not start a second import inside it.
        setEnabled(false);
        int result = import.AddADComputers(server, *m_database, nullptr, true, input.AllUsers);
        setEnabled(true);
        // The import is one step of the edit history, with what it offers after.
        EditStep step(*m_database, QStringLiteral("Import from Directory"));
        if (result == ADComputerImport::Success) {
            hide();
            std::optional<frmProgress> progress;
            ProgressBarLink link;
            if (m_bar) {
                link.LinkBar(m_bar);
            } else {
                progress.emplace(parentWidget());
                link.LinkForm(&*progress);
            }
            // The owner builds its tree once at the end; placing each new
            // node among its sorted siblings would cost far more.
            if (m_rebuildOwnerTree)
                m_database->UnlinkTreeView();
            result = import.AddADComputers(server, *m_database, &link, false, input.AllUsers);
            if (m_rebuildOwnerTree)
                m_rebuildOwnerTree();
            link.Finish();
        }
        server.Password.fill(QLatin1Char('\0'));

        if (result == ADComputerImport::Success) {
            import.ReportAndOffer(*m_database, input.AllUsers, parentWidget());
            accept();
            return;
        }
        if (result == ADComputerImport::BadCredentials) {
            txtPassword->clear();
            txtPassword->setFocus();
        } else if (result == ADComputerImport::ServerNotReachable) {
            txtServer->setFocus();
            txtServer->selectAll();
        }
        show();
    });
}
