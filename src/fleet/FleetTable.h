#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

class ComputerDB;
class FleetHistory;

// Every computer of the database in one flat list, with where its runs left
// it: the model of the fleet view.
//
// A view over a hundred thousand computers must sort and filter in well
// under a tenth of a second, which a proxy model asking for each row's
// QVariant cannot do. So the rows are plain values built once: every text
// column keeps a case-folded key beside its text, and the key's rank among
// the column's distinct keys; times and tries are numbers. Sorting orders
// row numbers on those numbers alone, and the filter walks that order once,
// testing each distinct group, wave, status and run once rather than once a
// computer, and counting the status buckets as it goes.
class FleetTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column : int { Computer, Group, Wave, LastStatus, LastRun, LastSeen, Tries };
    static constexpr int ColumnCount = 7;
    // The filter's column for a text in any of the text columns.
    static constexpr int AnyColumn = -1;

    // What the status filter offers: the newest outcome's kind.
    enum class Bucket : int { Succeeded, Warnings, Errors, Stopped, NeverRun, Running };
    static constexpr int BucketCount = 6;
    static QString bucketName(Bucket bucket);
    static constexpr unsigned bit(Bucket bucket) { return 1U << static_cast<int>(bucket); }

    explicit FleetTable(QObject *parent = nullptr);

    // Every active computer of `database`, with what `history` knows of it.
    // The sort and the filter stay as they were.
    void rebuild(const ComputerDB &database, const FleetHistory &history);
    // A computer's status as a run reports it, without building the rows
    // again; the row stays where it is until the next sort or filter.
    void setStatus(int computerId, const QString &code);

    // Rows with `text` (without regard to case) in `column`, or in any text
    // column; an empty text lets every row through.
    void setFilter(const QString &text, int column = AnyColumn);
    // Rows whose status is in one of the buckets of `mask` (bit()); 0 for all.
    void setBuckets(unsigned mask);
    unsigned buckets() const { return m_buckets; }
    // Rows the text filter lets through in the bucket, whatever the bucket
    // filter says: the count a bucket's button offers.
    int count(Bucket bucket) const { return m_counts[static_cast<std::size_t>(bucket)]; }
    int totalCount() const { return static_cast<int>(m_rows.size()); }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // The computer ID of a visible row; -1 outside.
    int computerAt(int row) const;
    // The visible row of a computer; -1 when it is filtered out or unknown.
    int rowOf(int computerId) const;

    // The visible rows in their visible order, with a header row.
    QByteArray csv() const;
    // csv() as the whole file, replaced whole or not at all and never
    // written through a link. False with the reason.
    bool exportCsv(const QString &path, QString &problem) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // The columns whose folded text the filter looks in.
    enum Key : int { NameKey, GroupKey, WaveKey, StatusKey, RunKey };
    static constexpr int KeyCount = 5;

    struct Row
    {
        int Id = -1;
        QString Name;
        QString Group;
        QString Wave;
        QString Status; // its text
        QString Run;
        std::array<QString, KeyCount> Keys;
        // Each key's place among the column's distinct keys: sorting and
        // filtering compare numbers, and test each distinct text once.
        std::array<int, KeyCount> Ranks {};
        qint64 RunTime = 0; // ms since the epoch, 0 for never
        qint64 LastSeen = 0;
        int Tries = 0;
        Bucket State = Bucket::NeverRun;
        bool Disabled = false;
    };

    static Bucket bucketOf(const QString &code);
    static QString timeText(qint64 time);
    QString text(const Row &row, int column) const;
    void setRowStatus(Row &row, const QString &code);
    // The name's ranks, by a sort of all rows.
    void rankNames();
    // Sorts the distinct keys of a column and turns the rows' numbers of
    // them into ranks.
    void sortValues(int key);
    void rankStatuses();
    static QString statusText(Bucket bucket, const QString &code);
    void order();
    // The visible rows from the sorted ones, and the counts.
    void applyFilter();

    std::vector<Row> m_rows;
    // Row numbers: all of them in sort order, and those the filter lets through.
    std::vector<int> m_sorted;
    std::vector<int> m_visible;
    // By row number, its place in m_visible; -1 when filtered out. A run
    // reports thousands of statuses, each needing its row at once.
    std::vector<int> m_place;
    // By computer ID, the row number; -1 for none.
    std::vector<int> m_rowOfId;
    std::array<int, BucketCount> m_counts {};
    // The distinct folded keys of each column but the name's, in order.
    std::array<std::vector<QString>, KeyCount> m_values;
    // False once a run's status has changed a row's status key.
    bool m_statusRanked = true;
    QString m_filter; // folded
    int m_filterColumn = AnyColumn;
    unsigned m_buckets = 0;
    int m_sortColumn = Computer;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
