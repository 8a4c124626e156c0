#include "shell/forms/FleetView.h"

#include "common/Presenter.h"
#include "common/RunHistory.h"
#include "common/modErrorHandler.h"
#include "fleet/FleetHistory.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The status buttons' control names, in bucket order.
constexpr const char *BucketControls[FleetTable::BucketCount]
    = {"cmdFleetSucceeded", "cmdFleetWarnings", "cmdFleetErrors", "cmdFleetStopped", "cmdFleetNeverRun", "cmdFleetRunning"};

} // namespace

FleetView::FleetView(const ComputerDB &database, QWidget *parent)
    : QWidget(parent)
    , m_database(database)
    , m_table(new FleetTable(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 0, 6);
    layout->setSpacing(6);

    auto *filter = new QHBoxLayout;
    txtFleetFilter = new QLineEdit(this);
    txtFleetFilter->setObjectName(QStringLiteral("txtFleetFilter"));
    txtFleetFilter->setPlaceholderText(QStringLiteral("Filter computers"));
    txtFleetFilter->setClearButtonEnabled(true);
    txtFleetFilter->setAccessibleName(QStringLiteral("Filter the fleet list"));
    cboFleetColumn = new QComboBox(this);
    cboFleetColumn->setObjectName(QStringLiteral("cboFleetColumn"));
    cboFleetColumn->setAccessibleName(QStringLiteral("Column the filter looks in"));
    cboFleetColumn->addItem(QStringLiteral("All columns"), FleetTable::AnyColumn);
    for (const int column : {FleetTable::Computer, FleetTable::Group, FleetTable::Wave, FleetTable::LastStatus, FleetTable::LastRun})
        cboFleetColumn->addItem(m_table->headerData(column, Qt::Horizontal).toString(), column);
    filter->addWidget(txtFleetFilter, 1);
    filter->addWidget(cboFleetColumn);
    layout->addLayout(filter);

    // Each button shows only its computers; several pressed show them all,
    // none pressed shows every one. The count is in the text, so a button
    // says what it holds without any colour.
    auto *buckets = new QHBoxLayout;
    buckets->setSpacing(4);
    for (int bucket = 0; bucket < FleetTable::BucketCount; ++bucket) {
        auto *button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(BucketControls[bucket]));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setAccessibleName(QStringLiteral("Show only: ") + FleetTable::bucketName(static_cast<FleetTable::Bucket>(bucket)));
        connect(button, &QToolButton::toggled, this, &FleetView::bucketToggled);
        buckets->addWidget(button);
        cmdFleetBucket[static_cast<std::size_t>(bucket)] = button;
    }
    buckets->addStretch(1);
    layout->addLayout(buckets);

    tblFleet = new QTableView(this);
    tblFleet->setObjectName(QStringLiteral("tblFleet"));
    tblFleet->setAccessibleName(QStringLiteral("Fleet list"));
    tblFleet->setModel(m_table);
    tblFleet->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblFleet->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblFleet->setWordWrap(false);
    tblFleet->setAlternatingRowColors(true);
    tblFleet->verticalHeader()->hide();
    // Fixed row heights of one line: the view never measures a hundred
    // thousand rows.
    tblFleet->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblFleet->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    tblFleet->horizontalHeader()->setStretchLastSection(true);
    tblFleet->horizontalHeader()->setSortIndicatorShown(true);
    tblFleet->setSortingEnabled(true);
    tblFleet->sortByColumn(FleetTable::Computer, Qt::AscendingOrder);
    layout->addWidget(tblFleet, 1);

    auto *bottom = new QHBoxLayout;
    lblFleetCount = new QLabel(this);
    lblFleetCount->setObjectName(QStringLiteral("lblFleetCount"));
    lblFleetCount->setWordWrap(true);
    cmdFleetExport = new QPushButton(QStringLiteral("E&xport CSV..."), this);
    cmdFleetExport->setObjectName(QStringLiteral("cmdFleetExport"));
    cmdFleetExport->setAccessibleName(QStringLiteral("Export the listed computers as CSV"));
    cmdFleetExport->setAutoDefault(false);
    bottom->addWidget(lblFleetCount, 1);
    bottom->addWidget(cmdFleetExport);
    layout->addLayout(bottom);

    connect(txtFleetFilter, &QLineEdit::textChanged, this, &FleetView::applyFilter);
    connect(cboFleetColumn, &QComboBox::currentIndexChanged, this, &FleetView::applyFilter);
    connect(cmdFleetExport, &QPushButton::clicked, this, &FleetView::exportCsv);
    connect(tblFleet->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FleetView::rowsSelected);
    connect(m_table, &QAbstractItemModel::modelReset, this, &FleetView::showCounts);
    showCounts();
}

void FleetView::refresh()
{
    if (isVisible())
        rebuild();
}

void FleetView::setStatus(int computerId, const QString &code)
{
    m_table->setStatus(computerId, code);
    showCounts();
}

void FleetView::showEvent(QShowEvent *event)
{
    // Groups and computers change in the tree while this tab is hidden;
    // building the rows again costs less than following every change. A
    // window coming back from the task bar has changed nothing.
    if (!event->spontaneous())
        rebuild();
    QWidget::showEvent(event);
}

void FleetView::rebuild()
{
    modErrorHandler::Guard("FleetView.rebuild", [&] {
        RunHistory history;
        FleetHistory rows;
        m_historyProblem.clear();
        if (!rows.load(history, m_historyProblem) && m_historyProblem.isEmpty())
            m_historyProblem = QStringLiteral("The run history could not be read.");
        m_table->rebuild(m_database, rows);
        // Measured on the first thousand rows at most (the header's precision).
        tblFleet->resizeColumnsToContents();
    });
}

void FleetView::applyFilter()
{
    m_table->setFilter(txtFleetFilter->text(), cboFleetColumn->currentData().toInt());
}

void FleetView::bucketToggled()
{
    unsigned mask = 0;
    for (int bucket = 0; bucket < FleetTable::BucketCount; ++bucket) {
        if (cmdFleetBucket[static_cast<std::size_t>(bucket)]->isChecked())
            mask |= FleetTable::bit(static_cast<FleetTable::Bucket>(bucket));
    }
    m_table->setBuckets(mask);
}

void FleetView::showCounts()
{
    for (int bucket = 0; bucket < FleetTable::BucketCount; ++bucket) {
        const auto kind = static_cast<FleetTable::Bucket>(bucket);
        QToolButton *button = cmdFleetBucket[static_cast<std::size_t>(bucket)];
        button->setText(QStringLiteral("%1 %2").arg(FleetTable::bucketName(kind)).arg(m_table->count(kind)));
        // Computers are running only during a run; the button is not there otherwise.
        button->setVisible(kind != FleetTable::Bucket::Running || m_table->count(kind) > 0 || button->isChecked());
    }
    QString text = QStringLiteral("%1 of %2 computers").arg(m_table->rowCount()).arg(m_table->totalCount());
    if (!m_historyProblem.isEmpty())
        text += QLatin1Char('\n') + m_historyProblem;
    lblFleetCount->setText(text);
    cmdFleetExport->setEnabled(m_table->rowCount() > 0);
}

void FleetView::exportCsv()
{
    modErrorHandler::Guard("FleetView.exportCsv", [&] {
        Presenter::FileRequest request;
        request.caption = QStringLiteral("Export Fleet List");
        request.filter = QStringLiteral("CSV files (*.csv);;All files (*)");
        request.folder = QDir::homePath();
        request.fileName = QStringLiteral("fleet.csv");
        request.defaultSuffix = QStringLiteral("csv");
        request.owner = this;
        const std::optional<QString> chosen = Presenter::current().askSaveFileName(request);
        if (!chosen || chosen->isEmpty())
            return;
        QString problem;
        if (!m_table->exportCsv(*chosen, problem))
            modErrorHandler::ShowMessage(modErrorHandler::Error, problem);
    });
}

void FleetView::rowsSelected()
{
    QList<int> ids;
    const QModelIndexList rows = tblFleet->selectionModel()->selectedRows(FleetTable::Computer);
    ids.reserve(rows.size());
    for (const QModelIndex &row : rows)
        ids.append(m_table->computerAt(row.row()));
    // The current row first: the tree shows that one's settings.
    const int current = m_table->computerAt(tblFleet->currentIndex().row());
    if (ids.removeOne(current))
        ids.prepend(current);
    Q_EMIT computersSelected(ids);
}
