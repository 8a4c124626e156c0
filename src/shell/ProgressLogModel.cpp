#include "shell/ProgressLogModel.h"

#include <algorithm>

ProgressLogModel::ProgressLogModel(QObject *parent, int lineLimit)
    : QAbstractListModel(parent)
    , m_lineLimit(std::max(1, lineLimit))
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(BatchIntervalMs);
    connect(&m_batch, &QTimer::timeout, this, &ProgressLogModel::flush);
}

int ProgressLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant ProgressLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    // The tip shows a line too long for the pane whole.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_lines[static_cast<size_t>(index.row())];
    return QVariant();
}

QString &ProgressLogModel::lineAt(qint64 sequence)
{
    const auto at = static_cast<size_t>(sequence - m_first);
    return at < m_lines.size() ? m_lines[at] : m_pending[static_cast<qsizetype>(at - m_lines.size())];
}

void ProgressLogModel::appendLine(const QString &line)
{
    m_pending.append(line);
    if (!m_batch.isActive())
        m_batch.start();
}

void ProgressLogModel::appendStatus(int clientId, const QString &line)
{
    const qint64 next = m_first + static_cast<qint64>(m_lines.size()) + m_pending.size();
    // Only a line that stays in view stands for the repeat.
    const auto last = m_lastOfClient.constFind(clientId);
    if (last != m_lastOfClient.cend() && *last >= std::max(m_first, next - m_lineLimit) && lineAt(*last) == line)
        return;
    appendLine(line);
    m_lastOfClient.insert(clientId, next);
}

void ProgressLogModel::continueLine(const QString &text)
{
    if (!m_pending.isEmpty()) {
        m_pending.last() += text;
    } else if (!m_lines.empty()) {
        m_lines.back() += text;
        const QModelIndex last = index(rowCount() - 1);
        Q_EMIT dataChanged(last, last, {Qt::DisplayRole, Qt::ToolTipRole});
    } else {
        appendLine(text);
    }
}

void ProgressLogModel::clear()
{
    m_batch.stop();
    beginResetModel();
    m_lines.clear();
    m_pending.clear();
    m_lastOfClient.clear();
    m_first = 0;
    endResetModel();
}

void ProgressLogModel::flush()
{
    m_batch.stop();
    if (m_pending.isEmpty())
        return;
    // Past the limit the oldest go, shown ones first; a batch larger than
    // the limit on its own loses its own oldest too.
    const qsizetype shown = static_cast<qsizetype>(m_lines.size());
    const qsizetype excess = std::max<qsizetype>(0, shown + m_pending.size() - m_lineLimit);
    const qsizetype dropShown = std::min(excess, shown);
    if (dropShown > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(dropShown - 1));
        m_lines.erase(m_lines.begin(), m_lines.begin() + dropShown);
        endRemoveRows();
    }
    m_pending.remove(0, excess - dropShown);
    m_first += excess;

    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(m_pending.size()) - 1);
    for (QString &line : m_pending)
        m_lines.push_back(std::move(line));
    m_pending.clear();
    endInsertRows();
}

QString ProgressLogModel::toPlainText() const
{
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_lines.size()) + m_pending.size());
    lines.append(QStringList(m_lines.cbegin(), m_lines.cend()));
    lines.append(m_pending);
    return lines.mid(std::max<qsizetype>(0, lines.size() - m_lineLimit)).join(QLatin1Char('\n'));
}
