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
#include <tuple>

namespace {

const QString NeverRun = QStringLiteral("Never run");
const QString TimeFormat = QStringLiteral("yyyy-MM-dd hh:mm");

// The first text columns are the filter's keys, in the same order.
static_assert(FleetTable::Computer == 0 && FleetTable::Group == 1 && FleetTable::Wave == 2 && FleetTable::LastStatus == 3
    && FleetTable::LastRun == 4);

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
    // A group, a wave, a run and a status are shared by many computers: each
    // is folded and numbered once, and the numbers become ranks at the end.
    std::array<QHash<QString, int>, KeyCount> numbers;
    for (std::vector<QString> &values : m_values)
        values.clear();
    const auto number = [&](int key, const QString &folded) {
        const auto k = static_cast<std::size_t>(key);
        auto found = numbers[k].constFind(folded);
        if (found == numbers[k].cend()) {
            found = numbers[k].insert(folded, static_cast<int>(m_values[k].size()));
            m_values[k].push_back(folded);
        }
        return *found;
    };
    struct Shared
    {
        QString Text;
        QString Key;
        int Number = 0;
    };
    QHash<int, QString> paths;
    QHash<int, Shared> groups;
    QHash<QString, Shared> waves;
    QHash<QString, Shared> runs;
    QHash<QString, Shared> statuses;
    const auto shared = [&](QHash<QString, Shared> &known, int key, const QString &text) -> const Shared & {
        auto found = known.constFind(text);
        if (found == known.cend()) {
            const QString folded = text.toCaseFolded();
            found = known.insert(text, {text, folded, number(key, folded)});
        }
        return *found;
    };
    const auto assign = [](Row &row, int key, const Shared &value, QString &text) {
        text = value.Text;
        row.Keys[static_cast<std::size_t>(key)] = value.Key;
        row.Ranks[static_cast<std::size_t>(key)] = value.Number;
    };
    for (int id = 0; id < database.ComputerCount(); ++id) {
        const ComputerRecord *record = database.Computers(id);
        if (!record || !record->Active)
            continue;
        Row row;
        row.Id = id;
        row.Name = record->Name;
        row.Disabled = !record->Enabled;
        row.Keys[NameKey] = record->Name.toCaseFolded();
        auto group = groups.constFind(record->FolderID);
        if (group == groups.cend()) {
            const QString path = modReportFormat::GroupPath(database, record->FolderID, paths);
            group = groups.insert(record->FolderID, {path, path.toCaseFolded(), number(GroupKey, path.toCaseFolded())});
        }
        assign(row, GroupKey, *group, row.Group);
        assign(row, WaveKey, shared(waves, WaveKey, record->Wave), row.Wave);
        QString code;
        if (const std::optional<FleetHistory::Row> seen = history.find(record->Name, record->DirectoryID)) {
            assign(row, RunKey, shared(runs, RunKey, seen->Run), row.Run);
            row.RunTime = seen->Time.isValid() ? seen->Time.toMSecsSinceEpoch() : 0;
            row.LastSeen = seen->LastSeen.isValid() ? seen->LastSeen.toMSecsSinceEpoch() : 0;
            row.Tries = seen->Tries;
            code = seen->Status;
        } else {
            assign(row, RunKey, shared(runs, RunKey, QString()), row.Run);
        }
        row.State = bucketOf(code);
        assign(row, StatusKey, shared(statuses, StatusKey, statusText(row.State, code)), row.Status);
        m_rowOfId[static_cast<std::size_t>(id)] = static_cast<int>(m_rows.size());
        m_rows.push_back(std::move(row));
    }
    rankNames();
    for (const int key : {GroupKey, WaveKey, StatusKey, RunKey})
        sortValues(key);
    m_statusRanked = true;
    order();
    applyFilter();
    endResetModel();
}

void FleetTable::rankNames()
{
    std::vector<int> byName(m_rows.size());
    for (std::size_t i = 0; i < byName.size(); ++i)
        byName[i] = static_cast<int>(i);
    std::sort(byName.begin(), byName.end(), [&](int a, int b) {
        return m_rows[static_cast<std::size_t>(a)].Keys[NameKey] < m_rows[static_cast<std::size_t>(b)].Keys[NameKey];
    });
    int rank = 0;
    for (std::size_t i = 0; i < byName.size(); ++i) {
        Row &row = m_rows[static_cast<std::size_t>(byName[i])];
        if (i > 0 && row.Keys[NameKey] != m_rows[static_cast<std::size_t>(byName[i - 1])].Keys[NameKey])
            ++rank;
        row.Ranks[NameKey] = rank;
    }
}

void FleetTable::sortValues(int key)
{
    const auto k = static_cast<std::size_t>(key);
    std::vector<QString> &values = m_values[k];
    std::vector<int> byText(values.size());
    for (std::size_t i = 0; i < byText.size(); ++i)
        byText[i] = static_cast<int>(i);
    std::sort(byText.begin(), byText.end(),
        [&](int a, int b) { return values[static_cast<std::size_t>(a)] < values[static_cast<std::size_t>(b)]; });
    std::vector<int> rankOf(values.size());
    std::vector<QString> sorted(values.size());
    for (std::size_t i = 0; i < byText.size(); ++i) {
        rankOf[static_cast<std::size_t>(byText[i])] = static_cast<int>(i);
        sorted[i] = values[static_cast<std::size_t>(byText[i])];
    }
    values.swap(sorted);
    for (Row &row : m_rows)
        row.Ranks[k] = rankOf[static_cast<std::size_t>(row.Ranks[k])];
}

void FleetTable::rankStatuses()
{
    // A run's statuses bring texts the ranks do not hold yet.
    QHash<QString, int> numbers;
    std::vector<QString> &values = m_values[StatusKey];
    values.clear();
    for (Row &row : m_rows) {
        auto found = numbers.constFind(row.Keys[StatusKey]);
        if (found == numbers.cend()) {
            found = numbers.insert(row.Keys[StatusKey], static_cast<int>(values.size()));
            values.push_back(row.Keys[StatusKey]);
        }
        row.Ranks[StatusKey] = *found;
    }
    sortValues(StatusKey);
    m_statusRanked = true;
}

QString FleetTable::statusText(Bucket bucket, const QString &code)
{
    return bucket == Bucket::NeverRun ? NeverRun : ClientStatus::Text(code);
}

void FleetTable::setRowStatus(Row &row, const QString &code)
{
    row.State = bucketOf(code);
    row.Status = statusText(row.State, code);
    row.Keys[StatusKey] = row.Status.toCaseFolded();
}

void FleetTable::setStatus(int computerId, const QString &code)
{
    if (computerId < 0 || static_cast<std::size_t>(computerId) >= m_rowOfId.size() || m_rowOfId[static_cast<std::size_t>(computerId)] < 0)
        return;
    Row &row = m_rows[static_cast<std::size_t>(m_rowOfId[static_cast<std::size_t>(computerId)])];
    --m_counts[static_cast<std::size_t>(row.State)];
    setRowStatus(row, code);
    m_statusRanked = false;
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
    if (!m_statusRanked)
        rankStatuses();
    // One flat key per row, so that the sort moves and compares plain
    // numbers. Rows that tie stay in name order either way, so that a column
    // of few values (a wave, a status) reads as a sorted list within each
    // value; the row number last makes the order total, as a stable sort's.
    struct SortKey
    {
        qint64 Primary;
        int Name;
        int Number;
        bool operator<(const SortKey &other) const
        {
            return std::tie(Primary, Name, Number) < std::tie(other.Primary, other.Name, other.Number);
        }
    };
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    std::vector<SortKey> keys(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const Row &row = m_rows[i];
        qint64 primary = 0;
        switch (m_sortColumn) {
        case LastRun:
            primary = row.RunTime;
            break;
        case LastSeen:
            primary = row.LastSeen;
            break;
        case Tries:
            primary = row.Tries;
            break;
        default:
            primary = row.Ranks[static_cast<std::size_t>(m_sortColumn)];
            break;
        }
        keys[i] = {descending ? -primary : primary, m_sortColumn == Computer ? 0 : row.Ranks[NameKey], static_cast<int>(i)};
    }
    std::sort(keys.begin(), keys.end());
    m_sorted.resize(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        m_sorted[i] = keys[i].Number;
}

void FleetTable::applyFilter()
{
    if (!m_statusRanked)
        rankStatuses();
    m_visible.clear();
    m_place.assign(m_rows.size(), -1);
    m_counts.fill(0);
    // Whether each distinct text of a column holds the filter: a group's
    // path is looked at once, not once for each of its computers.
    std::array<std::vector<char>, KeyCount> holds;
    for (int key = GroupKey; key < KeyCount; ++key) {
        const auto &values = m_values[static_cast<std::size_t>(key)];
        auto &hits = holds[static_cast<std::size_t>(key)];
        hits.resize(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            hits[i] = values[i].contains(m_filter) ? 1 : 0;
    }
    const auto matches = [&](const Row &row, int key) {
        const auto k = static_cast<std::size_t>(key);
        return key == NameKey ? row.Keys[k].contains(m_filter) : holds[k][static_cast<std::size_t>(row.Ranks[k])] != 0;
    };
    const bool anyText = m_filter.isEmpty();
    for (const int number : m_sorted) {
        const Row &row = m_rows[static_cast<std::size_t>(number)];
        if (!anyText) {
            bool found = false;
            if (m_filterColumn == AnyColumn) {
                for (int key = 0; key < KeyCount && !found; ++key)
                    found = matches(row, key);
            } else {
                found = matches(row, m_filterColumn);
            }
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
        // In words: the list has no pictures, and a reader of the CSV file
        // must see it too.
        return row.Disabled ? row.Name + QStringLiteral(" (disabled)") : row.Name;
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
