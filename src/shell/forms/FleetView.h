#pragma once

#include "fleet/FleetTable.h"

#include <QList>
#include <QWidget>

#include <array>

class ComputerDB;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

// The Fleet tab beside the tree: every computer in one list with its group,
// wave and last outcome, a filter over it, buttons with the count of each
// status that show only those computers, and the visible list as CSV.
//
// The rows are built again each time the tab is shown and whenever the
// window says the database or the history changed while it is; a run's
// statuses arrive one at a time without a rebuild.
class FleetView : public QWidget
{
    Q_OBJECT

public:
    explicit FleetView(const ComputerDB &database, QWidget *parent = nullptr);

    FleetTable &table() { return *m_table; }
    QTableView *view() const { return tblFleet; }
    // Builds the rows again now if the tab is showing; else showing it will.
    void refresh();
    void setStatus(int computerId, const QString &code);

Q_SIGNALS:
    // The computers of the selected rows, the current row's first.
    void computersSelected(const QList<int> &computerIds);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void rebuild();
    void applyFilter();
    void bucketToggled();
    void showCounts();
    void exportCsv();
    void rowsSelected();

    const ComputerDB &m_database;
    FleetTable *m_table = nullptr;
    QLineEdit *txtFleetFilter = nullptr;
    QComboBox *cboFleetColumn = nullptr;
    std::array<QToolButton *, FleetTable::BucketCount> cmdFleetBucket {};
    QTableView *tblFleet = nullptr;
    QLabel *lblFleetCount = nullptr;
    QPushButton *cmdFleetExport = nullptr;
    // Why the history could not be read, shown under the list until it can.
    QString m_historyProblem;
};
