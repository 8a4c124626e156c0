#include "fleet/FleetTable.h"

#include "common/PrivateFolder.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "fleet/FleetHistory.h"
#include "validation/modReportFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

const QString NeverRun = QStringLiteral("Never run");
const QString TimeFormat = QStringLiteral("yyyy-MM-dd hh:mm");

// The first text columns are the filter's keys, in the same order.
static_assert(FleetTable::Computer == 0 && FleetTable::Group == 1 && FleetTable::Wave == 2 && FleetTable::LastStatus == 3
    && FleetTable::LastRun == 4);

int compare(qint64 a, qint64 b)
{
    return (a > b) - (a < b);
}

// The same text in many rows (a group, a wave, a status) is folded once and
// shared by all of them.
const QString &folded(QHash<QString, QString> &known, const QString &text)
{
    auto found = known.find(text);
    if (found == known.end())
        found = known.insert(text, text.toCaseFolded());
    return *found;
}

} // namespace

FleetTable::FleetTable(QObject *parent)
    : QAbstractTableModel(parent)
{ }

QString FleetTable::bucketName(Bucket bucket)
{
    switch (bucket) {
    case Bucket::Succeeded:
        return QStringLiteral("Succeeded");
    case Bucket::Warnings:
        return QStringLiteral("Warnings");
    case Bucket::Errors:
        return QStringLiteral("Errors");
    case Bucket::Stopped:
        return QStringLiteral("Canceled or aborted");
    case Bucket::NeverRun:
        return NeverRun;
    case Bucket::Running:
        return QStringLiteral("Running");
    }
    return QString();
}

FleetTable::Bucket FleetTable::bucketOf(const QString &code)
{
    switch (ClientStatus::CategoryOf(code)) {
    case ClientStatus::Category::NotStarted:
        return Bucket::NeverRun;
    case ClientStatus::Category::InProgress:
        return Bucket::Running;
    case ClientStatus::Category::Successful:
        return Bucket::Succeeded;
    case ClientStatus::Category::Warnings:
        return Bucket::Warnings;
    case ClientStatus::Category::Errors:
        return Bucket::Errors;
    case ClientStatus::Category::Canceled:
    case ClientStatus::Category::Aborted:
        return Bucket::Stopped;
    }
    return Bucket::Running;
}

void FleetTable::rebuild(const ComputerDB &database, const FleetHistory &history)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(static_cast<std::size_t>(database.GetComputerCount()));
    m_rowOfId.assign(static_cast<std::size_t>(database.ComputerCount()), -1);
    // A group's path and its key are made once for all its computers.
    QHash<int, QString> paths;
    std::vector<std::pair<QString, QString>> groups(static_cast<std::size_t>(database.FolderCount()));
    std::vector<bool> groupKnown(groups.size(), false);
    QHash<QString, QString> keys;
    const std::pair<QString, QString> none;
    for (int id = 0; id < database.ComputerCount(); ++id) {
        const ComputerRecord *record = database.Computers(id);
        if (!record || !record->Active)
            continue;
        Row row;
        row.Id = id;
        row.Name = record->Name;
        row.Keys[NameKey] = record->Name.toCaseFolded();
        const auto folder = static_cast<std::size_t>(record->FolderID);
        if (record->FolderID >= 0 && folder < groups.size()) {
            if (!groupKnown[folder]) {
                const QString path = modReportFormat::GroupPath(database, record->FolderID, paths);
                groups[folder] = {path, path.toCaseFolded()};
                groupKnown[folder] = true;
            }
            std::tie(row.Group, row.Keys[GroupKey]) = groups[folder];
        }
        row.Wave = record->Wave;
        row.Keys[WaveKey] = folded(keys, record->Wave);
        if (const FleetHistory::Row *seen = history.find(record->Name, record->DirectoryID)) {
            row.Run = seen->Run;
            row.Keys[RunKey] = folded(keys, seen->Run);
            row.RunTime = seen->Time.isValid() ? seen->Time.toMSecsSinceEpoch() : 0;
            row.LastSeen = seen->LastSeen.isValid() ? seen->LastSeen.toMSecsSinceEpoch() : 0;
            row.Tries = seen->Tries;
            setRowStatus(row, seen->Status);
        } else {
            setRowStatus(row, QString());
        }
        m_rowOfId[static_cast<std::size_t>(id)] = static_cast<int>(m_rows.size());
        m_rows.push_back(std::move(row));
    }
    m_sorted.resize(m_rows.size());
    for (std::size_t i = 0; i < m_sorted.size(); ++i)
        m_sorted[i] = static_cast<int>(i);
    order();
    applyFilter();
    endResetModel();
}

void FleetTable::setRowStatus(Row &row, const QString &code)
{
    row.State = bucketOf(code);
    row.Status = row.State == Bucket::NeverRun ? NeverRun : ClientStatus::Text(code);
    row.Keys[StatusKey] = row.Status.toCaseFolded();
}

void FleetTable::setStatus(int computerId, const QString &code)
{
    if (computerId < 0 || static_cast<std::size_t>(computerId) >= m_rowOfId.size() || m_rowOfId[static_cast<std::size_t>(computerId)] < 0)
        return;
    Row &row = m_rows[static_cast<std::size_t>(m_rowOfId[static_cast<std::size_t>(computerId)])];
    --m_counts[static_cast<std::size_t>(row.State)];
    setRowStatus(row, code);
    ++m_counts[static_cast<std::size_t>(row.State)];
    if (const int visible = rowOf(computerId); visible >= 0)
        Q_EMIT dataChanged(index(visible, LastStatus), index(visible, LastStatus));
}

void FleetTable::setFilter(const QString &text, int column)
{
    beginResetModel();
    m_filter = text.toCaseFolded();
    m_filterColumn = column >= 0 && column < KeyCount ? column : AnyColumn;
    applyFilter();
    endResetModel();
}

void FleetTable::setBuckets(unsigned mask)
{
    beginResetModel();
    m_buckets = mask;
    applyFilter();
    endResetModel();
}

void FleetTable::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    beginResetModel();
    m_sortColumn = column;
    m_sortOrder = order;
    this->order();
    applyFilter();
    endResetModel();
}

void FleetTable::order()
{
    const int column = m_sortColumn;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    const auto primary = [&](const Row &a, const Row &b) {
        switch (column) {
        case LastRun:
            return compare(a.RunTime, b.RunTime);
        case LastSeen:
            return compare(a.LastSeen, b.LastSeen);
        case Tries:
            return compare(a.Tries, b.Tries);
        default:
            return a.Keys[static_cast<std::size_t>(column)].compare(b.Keys[static_cast<std::size_t>(column)]);
        }
    };
    // Rows that tie stay in name order either way, so that a column of few
    // values (a wave, a status) reads as a sorted list within each value.
    std::stable_sort(m_sorted.begin(), m_sorted.end(), [&](int left, int right) {
        const Row &a = m_rows[static_cast<std::size_t>(left)];
        const Row &b = m_rows[static_cast<std::size_t>(right)];
        if (const int c = column == Computer ? 0 : primary(a, b); c != 0)
            return descending ? c > 0 : c < 0;
        if (const int c = a.Keys[NameKey].compare(b.Keys[NameKey]); c != 0)
            return column == Computer && descending ? c > 0 : c < 0;
        return a.Id < b.Id;
    });
}

void FleetTable::applyFilter()
{
    m_visible.clear();
    m_place.assign(m_rows.size(), -1);
    m_counts.fill(0);
    const bool anyText = m_filter.isEmpty();
    for (const int number : m_sorted) {
        const Row &row = m_rows[static_cast<std::size_t>(number)];
        if (!anyText) {
            bool found = false;
            if (m_filterColumn == AnyColumn)
                found = std::any_of(row.Keys.cbegin(), row.Keys.cend(), [&](const QString &key) { return key.contains(m_filter); });
            else
                found = row.Keys[static_cast<std::size_t>(m_filterColumn)].contains(m_filter);
            if (!found)
                continue;
        }
        ++m_counts[static_cast<std::size_t>(row.State)];
        if (m_buckets == 0 || (m_buckets & bit(row.State)) != 0) {
            m_place[static_cast<std::size_t>(number)] = static_cast<int>(m_visible.size());
            m_visible.push_back(number);
        }
    }
}

int FleetTable::computerAt(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_visible.size()
        ? m_rows[static_cast<std::size_t>(m_visible[static_cast<std::size_t>(row)])].Id
        : -1;
}

int FleetTable::rowOf(int computerId) const
{
    if (computerId < 0 || static_cast<std::size_t>(computerId) >= m_rowOfId.size())
        return -1;
    const int number = m_rowOfId[static_cast<std::size_t>(computerId)];
    return number < 0 ? -1 : m_place[static_cast<std::size_t>(number)];
}

QString FleetTable::timeText(qint64 time)
{
    return time == 0 ? QString() : QDateTime::fromMSecsSinceEpoch(time).toLocalTime().toString(TimeFormat);
}

QString FleetTable::text(const Row &row, int column) const
{
    switch (column) {
    case Computer:
        return row.Name;
    case Group:
        return row.Group;
    case Wave:
        return row.Wave;
    case LastStatus:
        return row.Status;
    case LastRun:
        return row.Run.isEmpty() ? QString() : row.Run + QStringLiteral(", ") + timeText(row.RunTime);
    case LastSeen:
        return timeText(row.LastSeen);
    case Tries:
        return QString::number(row.Tries);
    }
    return QString();
}

QByteArray FleetTable::csv() const
{
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column)
        header.append(headerData(column, Qt::Horizontal).toString());
    QByteArray out = modReportFormat::CsvHeader(header);
    QStringList fields;
    for (const int number : m_visible) {
        fields.clear();
        for (int column = 0; column < ColumnCount; ++column)
            fields.append(text(m_rows[static_cast<std::size_t>(number)], column));
        out += modReportFormat::CsvRow(fields);
    }
    return out;
}

bool FleetTable::exportCsv(const QString &path, QString &problem) const
{
    // The folder is the administrator's choice; the file's own name in it
    // is never followed when it is a link, as with the run report.
    const QFileInfo file(path);
    PrivateFolder folder;
    if (!folder.Open(file.path(), PrivateFolder::Access::AsItIs) || !folder.Replace(file.fileName(), csv())) {
        problem
            = QStringLiteral("The fleet list \"%1\" could not be written: %2").arg(QDir::toNativeSeparators(path), folder.ErrorString());
        return false;
    }
    return true;
}

int FleetTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_visible.size());
}

int FleetTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FleetTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const Row &row = m_rows[static_cast<std::size_t>(m_visible[static_cast<std::size_t>(index.row())])];
    if (role == Qt::DisplayRole)
        return text(row, index.column());
    if (role == Qt::TextAlignmentRole && index.column() == Tries)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FleetTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const names[ColumnCount] = {"Computer", "Group", "Wave", "Last status", "Last run", "Last seen", "Tries"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QString();
}
