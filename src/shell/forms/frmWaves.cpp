#include "shell/forms/frmWaves.h"

#include "common/AppInfo.h"
#include "common/Presenter.h"
#include "database/ComputerDB.h"
#include "database/EditStep.h"
#include "database/WaveText.h"
#include "shell/forms/frmWaveEdit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QPushButton *sideButton(QWidget *parent, const char *name, const QString &caption, const QString &accessible)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessible);
    button->setAutoDefault(false);
    return button;
}

QString computers(int count)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? QStringLiteral("computer") : QStringLiteral("computers"));
}

} // namespace

frmWaves::frmWaves(ComputerDB &database, QWidget *parent)
    : QDialog(parent)
    , m_database(database)
{
    setObjectName(QStringLiteral("frmWaves"));
    setWindowTitle(QStringLiteral("Waves - ") + AppInfo::Title());
    setModal(true);
    auto *layout = new QVBoxLayout(this);

    auto *intro = new QLabel(QStringLiteral("Start Migration starts the computers wave after wave, in this order; the computers "
                                            "in no wave come last. A wave starts when every computer of the wave before it has "
                                            "ended, is waiting to be tried again, or waits for its report, and not before its "
                                            "start time."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *listLabel = new QLabel(QStringLiteral("&Waves in run order:"), this);
    lstWaves = new QTreeWidget(this);
    lstWaves->setObjectName(QStringLiteral("lstWaves"));
    lstWaves->setAccessibleName(QStringLiteral("Waves in run order"));
    lstWaves->setRootIsDecorated(false);
    lstWaves->setUniformRowHeights(true);
    lstWaves->setHeaderLabels({QStringLiteral("Wave"), QStringLiteral("Computers"), QStringLiteral("Starts"), QStringLiteral("At a time"),
        QStringLiteral("Stopped when")});
    lstWaves->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    listLabel->setBuddy(lstWaves);
    layout->addWidget(listLabel);

    auto *row = new QHBoxLayout;
    row->addWidget(lstWaves, 1);
    auto *side = new QVBoxLayout;
    cmdAdd = sideButton(this, "cmdAdd", QStringLiteral("&Add..."), QStringLiteral("Add a wave"));
    cmdEdit = sideButton(this, "cmdEdit", QStringLiteral("&Edit..."), QStringLiteral("Edit the selected wave"));
    cmdRemove = sideButton(this, "cmdRemove", QStringLiteral("&Remove"), QStringLiteral("Remove the selected wave"));
    cmdMoveUp = sideButton(this, "cmdMoveUp", QStringLiteral("Move &Up"), QStringLiteral("Run the selected wave earlier"));
    cmdMoveDown = sideButton(this, "cmdMoveDown", QStringLiteral("Move &Down"), QStringLiteral("Run the selected wave later"));
    for (QPushButton *button : {cmdAdd, cmdEdit, cmdRemove, cmdMoveUp, cmdMoveDown})
        side->addWidget(button);
    side->addStretch(1);
    row->addLayout(side);
    layout->addLayout(row, 1);

    auto *note = new QLabel(QStringLiteral("Give computers to a wave with Set Wave... on the tree's selection."), this);
    note->setWordWrap(true);
    layout->addWidget(note);

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);

    setTabOrder(lstWaves, cmdAdd);
    setTabOrder(cmdAdd, cmdEdit);
    setTabOrder(cmdEdit, cmdRemove);
    setTabOrder(cmdRemove, cmdMoveUp);
    setTabOrder(cmdMoveUp, cmdMoveDown);
    setTabOrder(cmdMoveDown, cmdClose);

    connect(lstWaves, &QTreeWidget::currentItemChanged, this, &frmWaves::updateButtons);
    connect(lstWaves, &QTreeWidget::itemActivated, this, &frmWaves::cmdEdit_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmWaves::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmWaves::cmdEdit_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmWaves::cmdRemove_Click);
    connect(cmdMoveUp, &QPushButton::clicked, this, [this] { move(-1); });
    connect(cmdMoveDown, &QPushButton::clicked, this, [this] { move(1); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    resize(720, 400);
    fill(0);
}

void frmWaves::fill(int row)
{
    const WaveList &waves = m_database.Waves();
    const QHash<QString, int> members = WaveText::Members(m_database);
    lstWaves->clear();
    for (const WaveRecord &wave : waves.all()) {
        auto *item = new QTreeWidgetItem(lstWaves);
        item->setText(NameColumn, wave.Name);
        item->setText(ComputersColumn, computers(members.value(wave.Name.toLower())));
        item->setText(StartColumn, WaveText::Start(wave));
        item->setText(CapColumn, WaveText::Cap(wave));
        item->setText(ThresholdColumn, WaveText::Threshold(wave));
    }
    if (!waves.isEmpty())
        lstWaves->setCurrentItem(lstWaves->topLevelItem(qBound(0, row, waves.size() - 1)));
    updateButtons();
}

int frmWaves::currentRow() const
{
    QTreeWidgetItem *item = lstWaves->currentItem();
    return item ? lstWaves->indexOfTopLevelItem(item) : -1;
}

void frmWaves::updateButtons()
{
    const int row = currentRow();
    cmdEdit->setEnabled(row >= 0);
    cmdRemove->setEnabled(row >= 0);
    cmdMoveUp->setEnabled(row > 0);
    cmdMoveDown->setEnabled(row >= 0 && row < m_database.Waves().size() - 1);
}

void frmWaves::cmdAdd_Click()
{
    frmWaveEdit editor(m_database.Waves(), -1, WaveRecord {}, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    {
        EditStep step(m_database, QStringLiteral("Add Wave '%1'").arg(editor.wave().Name));
        if (!m_database.AddWave(editor.wave()))
            return;
    }
    fill(m_database.Waves().size() - 1);
}

void frmWaves::cmdEdit_Click()
{
    const int row = currentRow();
    if (row < 0)
        return;
    frmWaveEdit editor(m_database.Waves(), row, m_database.Waves().at(row), this);
    if (editor.exec() != QDialog::Accepted)
        return;
    {
        EditStep step(m_database, QStringLiteral("Edit Wave '%1'").arg(editor.wave().Name));
        if (!m_database.ReplaceWave(row, editor.wave()))
            return;
    }
    fill(row);
}

void frmWaves::cmdRemove_Click()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const QString name = m_database.Waves().at(row).Name;
    const int count = WaveText::Members(m_database).value(name.toLower());
    Presenter::Message question;
    question.caption = QStringLiteral("Remove Wave");
    question.text = QStringLiteral("Remove the wave \"%1\"?  %2")
                        .arg(name,
                            count == 0       ? QStringLiteral("No computer is in it.")
                                : count == 1 ? QStringLiteral("Its 1 computer goes back to no wave.")
                                             : QStringLiteral("Its %1 computers go back to no wave.").arg(count));
    question.icon = Presenter::Icon::Question;
    question.buttons = Presenter::Buttons::YesNo;
    question.defaultButton = 1;
    question.owner = this;
    if (Presenter::current().showMessage(question) != Presenter::Yes)
        return;
    {
        EditStep step(m_database, QStringLiteral("Remove Wave '%1'").arg(name));
        m_database.RemoveWave(row);
    }
    fill(row);
}

void frmWaves::move(int by)
{
    const int row = currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= m_database.Waves().size())
        return;
    {
        EditStep step(m_database, QStringLiteral("Move Wave '%1'").arg(m_database.Waves().at(row).Name));
        m_database.MoveWave(row, to);
    }
    fill(to);
}
