#include "shell/forms/frmRollback.h"

#include "common/AppInfo.h"
#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/widgets/modKeyboard.h"
#include "engine/ClientStatus.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmRollback::frmRollback(const ComputerDB &database, const QString &results, QWidget *parent)
    : QDialog(parent)
    , m_database(database)
{
    setObjectName(QStringLiteral("frmRollback"));
    setWindowTitle(QStringLiteral("Roll Back Computers - ") + AppInfo::Title());
    setModal(true);
    auto *layout = new QVBoxLayout(this);

    auto *intro = new QLabel(QStringLiteral("The engine reaches each ticked computer again, and its client reverses what the migration "
                                            "did there, newest step first: owners and groups, folders, the workgroup and the realm."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *resultsRow = new QHBoxLayout;
    auto *resultsLabel = new QLabel(QStringLiteral("&Migration results:"), this);
    txtResults = new QLineEdit(QDir::toNativeSeparators(results), this);
    txtResults->setObjectName(QStringLiteral("txtResults"));
    txtResults->setAccessibleName(QStringLiteral("Migration results folder"));
    resultsLabel->setBuddy(txtResults);
    cmdBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setAccessibleName(QStringLiteral("Browse for the migration results folder"));
    cmdBrowse->setAutoDefault(false);
    resultsRow->addWidget(resultsLabel);
    resultsRow->addWidget(txtResults, 1);
    resultsRow->addWidget(cmdBrowse);
    layout->addLayout(resultsRow);

    auto *computersLabel = new QLabel(QStringLiteral("&Computers the migration reached:"), this);
    lstComputers = new QListWidget(this);
    lstComputers->setObjectName(QStringLiteral("lstComputers"));
    lstComputers->setAccessibleName(QStringLiteral("Computers to roll back"));
    computersLabel->setBuddy(lstComputers);
    layout->addWidget(computersLabel);
    layout->addWidget(lstComputers, 1);
    auto *tickRow = new QHBoxLayout;
    cmdTickAll = new QPushButton(QStringLiteral("&Tick All"), this);
    cmdTickAll->setObjectName(QStringLiteral("cmdTickAll"));
    cmdTickAll->setAccessibleName(QStringLiteral("Tick every computer"));
    cmdTickAll->setAutoDefault(false);
    cmdUntickAll = new QPushButton(QStringLiteral("&Untick All"), this);
    cmdUntickAll->setObjectName(QStringLiteral("cmdUntickAll"));
    cmdUntickAll->setAccessibleName(QStringLiteral("Untick every computer"));
    cmdUntickAll->setAutoDefault(false);
    tickRow->addWidget(cmdTickAll);
    tickRow->addWidget(cmdUntickAll);
    tickRow->addStretch(1);
    layout->addLayout(tickRow);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setVisible(false);
    layout->addWidget(lblProblem);

    auto *realm = new QGroupBox(QStringLiteral("Join the source domain again"), this);
    realm->setObjectName(QStringLiteral("grpRealm"));
    auto *realmForm = new QFormLayout(realm);
    auto *realmNote = new QLabel(QStringLiteral("Without an account of the source domain, a computer that changed realm stays in the "
                                                "destination one, and its log says so."),
        realm);
    realmNote->setWordWrap(true);
    realmForm->addRow(realmNote);
    txtJoinAccount = new QLineEdit(realm);
    txtJoinAccount->setObjectName(QStringLiteral("txtJoinAccount"));
    txtJoinAccount->setAccessibleName(QStringLiteral("Join account of the source domain"));
    txtJoinAccount->setPlaceholderText(QStringLiteral("user, DOMAIN\\user or user@domain"));
    realmForm->addRow(QStringLiteral("&Account:"), txtJoinAccount);
    txtJoinPassword = new QLineEdit(realm);
    txtJoinPassword->setObjectName(QStringLiteral("txtJoinPassword"));
    txtJoinPassword->setAccessibleName(QStringLiteral("Password of the join account"));
    txtJoinPassword->setEchoMode(QLineEdit::Password);
    realmForm->addRow(QStringLiteral("&Password:"), txtJoinPassword);
    layout->addWidget(realm);

    chkForget = new QCheckBox(QStringLiteral("&Forget the journals instead: reverse nothing, and allow no later rollback"), this);
    chkForget->setObjectName(QStringLiteral("chkForget"));
    chkForget->setAccessibleName(QStringLiteral("Forget the journals instead of rolling back"));
    layout->addWidget(chkForget);

    auto *buttons = new QDialogButtonBox(this);
    cmdRollBack = buttons->addButton(QStringLiteral("&Roll Back"), QDialogButtonBox::AcceptRole);
    cmdRollBack->setObjectName(QStringLiteral("cmdRollBack"));
    cmdRollBack->setDefault(true);
    cmdCancel = buttons->addButton(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    layout->addWidget(buttons);
    modKeyboard::TabOrder({txtResults, cmdBrowse, lstComputers, cmdTickAll, cmdUntickAll, txtJoinAccount, txtJoinPassword, chkForget,
        cmdRollBack, cmdCancel});

    connect(txtResults, &QLineEdit::editingFinished, this, &frmRollback::loadComputers);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmRollback::browse);
    connect(chkForget, &QCheckBox::toggled, this, &frmRollback::forgetChanged);
    connect(cmdTickAll, &QPushButton::clicked, this, [this] { tickAll(Qt::Checked); });
    connect(cmdUntickAll, &QPushButton::clicked, this, [this] { tickAll(Qt::Unchecked); });
    connect(cmdRollBack, &QPushButton::clicked, this, &frmRollback::cmdRollBack_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(560, 520);
    loadComputers();
}

void frmRollback::loadComputers()
{
    lstComputers->clear();
    QString problem;
    const QString folder = QDir::fromNativeSeparators(txtResults->text().trimmed());
    if (!RollbackJob::ReadReached(m_database, folder, m_reached, problem)) {
        m_reached.clear();
        // Said in words, never by colour alone.
        lblProblem->setText(QStringLiteral("Nothing to roll back: ") + problem);
        lblProblem->setVisible(true);
        return;
    }
    lblProblem->setVisible(false);
    for (const RollbackJob::Reached &computer : std::as_const(m_reached)) {
        auto *item = new QListWidgetItem(computer.Name + QStringLiteral(" - ") + ClientStatus::Text(computer.Status), lstComputers);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Checked);
        item->setData(Qt::UserRole, computer.Id);
    }
}

void frmRollback::tickAll(Qt::CheckState state)
{
    for (int row = 0; row < lstComputers->count(); ++row)
        lstComputers->item(row)->setCheckState(state);
}

void frmRollback::browse()
{
    Presenter::FolderRequest request;
    request.caption = QStringLiteral("Migration Results");
    request.prompt = QStringLiteral("Choose the results folder of the migration to roll back.");
    request.folder = QDir::fromNativeSeparators(txtResults->text());
    request.owner = this;
    if (const std::optional<QString> folder = Presenter::current().askFolder(request)) {
        txtResults->setText(QDir::toNativeSeparators(*folder));
        loadComputers();
    }
}

void frmRollback::forgetChanged()
{
    // Forgetting reverses nothing, so it joins no domain.
    txtJoinAccount->setEnabled(!chkForget->isChecked());
    txtJoinPassword->setEnabled(!chkForget->isChecked());
}

void frmRollback::cmdRollBack_Click()
{
    RollbackJob job;
    job.MigrationResults = QDir::fromNativeSeparators(txtResults->text().trimmed());
    for (int row = 0; row < lstComputers->count(); ++row) {
        const QListWidgetItem *item = lstComputers->item(row);
        if (item->checkState() == Qt::Checked)
            job.Computers.insert(item->data(Qt::UserRole).toInt());
    }
    if (job.Computers.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Information,
            m_reached.isEmpty() ? lblProblem->text() : QStringLiteral("No computer is ticked.  Tick the computers to roll back."));
        lstComputers->setFocus();
        return;
    }
    job.Forget = chkForget->isChecked();
    if (!job.Forget) {
        job.JoinAccount = txtJoinAccount->text().trimmed();
        job.JoinPassword = txtJoinPassword->text();
    }
    if (job.Forget) {
        Presenter::Message question;
        question.caption = AppInfo::Title();
        question.text = QStringLiteral("The %1 ticked computers remove the journals of their migration.  Nothing is reversed, and "
                                       "those migrations can no longer be rolled back.\r\rForget the journals?")
                            .arg(job.Computers.size());
        question.icon = Presenter::Icon::Question;
        question.buttons = Presenter::Buttons::YesNo;
        question.defaultButton = 1;
        question.owner = this;
        if (Presenter::current().showMessage(question) != Presenter::Yes)
            return;
    }
    m_job = job;
    accept();
}
