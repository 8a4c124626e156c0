#include "import/forms/frmImportUsers.h"

#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/modGeneral.h"
#include "common/widgets/modKeyboard.h"
#include "database/ComputerDB.h"
#include "database/EditStep.h"
#include "import/UserFileImport.h"
#include "import/forms/frmShowLog.h"
#include "import/modImport.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel *explanation(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setIndent(24);
    return label;
}

} // namespace

frmImportUsers::frmImportUsers(ComputerDB &database, QWidget *owner)
    : QDialog(owner)
    , m_database(database)
{
    setObjectName(QStringLiteral("frmImportUsers"));
    setWindowTitle(QStringLiteral("Import Users"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(QStringLiteral("<b>Import users and computers from file</b>"), this);
    layout->addWidget(heading);
    auto *prompt = new QLabel(QStringLiteral("Please select the file you wish to import. This file must be a standard CSV file where "
                                             "the columns are equivalent to the option selected below."),
        this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);

    auto *fileRow = new QHBoxLayout;
    m_txtFile = new QLineEdit(this);
    m_txtFile->setObjectName(QStringLiteral("txtFile"));
    m_txtFile->setAccessibleName(QStringLiteral("File to import"));
    fileRow->addWidget(m_txtFile);
    auto *cmdBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setToolTip(QStringLiteral("Browse to import file"));
    fileRow->addWidget(cmdBrowse);
    layout->addLayout(fileRow);

    auto *formats = new QGroupBox(this);
    auto *options = new QVBoxLayout(formats);
    m_optUserToUser = new QRadioButton(QStringLiteral("CN,S&U,DU"), formats);
    m_optUserToUser->setObjectName(QStringLiteral("optUserToUser"));
    options->addWidget(m_optUserToUser);
    options->addWidget(explanation(QStringLiteral("You should specify your users in this format if both the "
                                                  "source domain controller and the destination domain controller "
                                                  "are active.  This option should also be used if the source "
                                                  "account is a local computer account."),
        formats));
    m_optSIDToUser = new QRadioButton(QStringLiteral("CN,S&S,DU"), formats);
    m_optSIDToUser->setObjectName(QStringLiteral("optSIDToUser"));
    options->addWidget(m_optSIDToUser);
    options->addWidget(explanation(QStringLiteral("You should specify your users in this format if the source "
                                                  "domain controller will not be available during the migration."),
        formats));
    m_optComputers = new QRadioButton(QStringLiteral("&CN (Computers Only)"), formats);
    m_optComputers->setObjectName(QStringLiteral("optComputers"));
    options->addWidget(m_optComputers);
    m_chkAllUsers = new QCheckBox(QStringLiteral("Migrate &all user profiles"), formats);
    m_chkAllUsers->setObjectName(QStringLiteral("chkAllUsers"));
    // Only the computers-only format has no users of its own to go with it.
    m_chkAllUsers->setEnabled(false);
    auto *allUsersRow = new QHBoxLayout;
    allUsersRow->addSpacing(24);
    allUsersRow->addWidget(m_chkAllUsers);
    options->addLayout(allUsersRow);
    layout->addWidget(formats);

    auto *legend = new QGridLayout;
    legend->addWidget(new QLabel(QStringLiteral("CN = Computer name"), this), 0, 0);
    legend->addWidget(new QLabel(QStringLiteral("SU = Source account username"), this), 0, 1);
    legend->addWidget(new QLabel(QStringLiteral("SS = Source account SID"), this), 1, 0);
    legend->addWidget(new QLabel(QStringLiteral("DU = Destination account username"), this), 1, 1);
    layout->addLayout(legend);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *cmdImport = new QPushButton(QStringLiteral("&Import Now"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setDefault(true);
    buttons->addWidget(cmdImport);
    auto *cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    modKeyboard::TabOrder({m_txtFile, cmdBrowse, m_optUserToUser, m_optSIDToUser, m_optComputers, m_chkAllUsers, cmdImport, cmdCancel});

    connect(cmdBrowse, &QPushButton::clicked, this, &frmImportUsers::cmdBrowse_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmImportUsers::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_optComputers, &QRadioButton::toggled, m_chkAllUsers, &QCheckBox::setEnabled);
}

bool frmImportUsers::ShowModal(ComputerDB &database, QWidget *owner, const NodeInfo &selected)
{
    // A failed second pass leaves lines imported even when the dialog is
    // then cancelled, so the list is compared, not the dialog's result.
    const UserProfilesPtr list = selected.Type == NodeInfo::Computer ? database.GetComputerUserList(selected.ID) : nullptr;
    const int before = list ? list->GetMaxID() : 0;
    frmImportUsers dialog(database, owner);
    dialog.exec();
    return list && list->GetMaxID() != before;
}

int frmImportUsers::chosenOption() const
{
    if (m_optUserToUser->isChecked())
        return modImport::UserToUser;
    if (m_optSIDToUser->isChecked())
        return modImport::SIDToUser;
    return m_optComputers->isChecked() ? modImport::ComputersOnly : 0;
}

void frmImportUsers::cmdBrowse_Click()
{
    Presenter::FileRequest request;
    request.caption = QStringLiteral("Choose a file to import");
    request.filter = QStringLiteral("Comma Separated Values (*.csv *.CSV);;All Files (*)");
    request.defaultSuffix = QStringLiteral("csv");
    request.owner = this;
    if (const std::optional<QString> path = Presenter::current().askOpenFileName(request))
        m_txtFile->setText(*path);
}

void frmImportUsers::cmdImport_Click()
{
    modErrorHandler::Guard("frmImportUsers.cmdImport_Click", [&] {
        const int fileType = modImport::FileTypeFor(chosenOption(), m_chkAllUsers->isChecked());
        const QString path = m_txtFile->text();
        const QString refusal = modImport::DoInputChecks(fileType, path);
        if (!refusal.isEmpty()) {
            modErrorHandler::ShowMessage(modErrorHandler::Information, refusal);
            return;
        }
        setCursor(Qt::WaitCursor);
        UserFileImport::Result result;
        {
            EditStep step(m_database, QStringLiteral("Import User Migrations"));
            result = UserFileImport::ImportUserFile(m_database, path, fileType);
        }
        unsetCursor();
        switch (result.status) {
        case UserFileImport::Status::Imported:
            modErrorHandler::ShowMessage(modErrorHandler::Information, modImport::SuccessText());
            accept();
            return;
        case UserFileImport::Status::PartlyImported:
            modErrorHandler::ShowMessage(modErrorHandler::Information, modImport::PartialImportText());
            [[fallthrough]];
        case UserFileImport::Status::CheckFailed:
            frmShowLog(modImport::FailedCaption(), modImport::FailedHeading(path), result.errorText, this).exec();
            return;
        case UserFileImport::Status::NotRead:
            return;
        }
    });
}
