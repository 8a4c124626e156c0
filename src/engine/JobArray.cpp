#include "engine/JobArray.h"

#include "common/modErrorHandler.h"

void JobArray::Create(int columns, int rows)
{
    Erase();
    if (columns <= 0 || rows < 0)
        modErrorHandler::Raise(9);
    m_columns = columns;
    m_rows = rows;
    m_values.resize(columns);
    for (Column &column : m_values)
        column.values.append(QVariant());
    m_cells.fill(0, qsizetype(columns) * rows);
}

void JobArray::Erase()
{
    m_columns = 0;
    m_rows = 0;
    m_values.clear();
    m_cells.clear();
}

void JobArray::ShrinkRows(int rows)
{
    if (rows < 0 || rows > Rows())
        modErrorHandler::Raise(9);
    m_rows = rows;
    m_cells.resize(qsizetype(m_columns) * rows);
    m_cells.squeeze();
}

bool JobArray::Contains(int column, int row) const
{
    return column >= 1 && column <= m_columns && row >= 1 && row <= m_rows;
}

quint32 JobArray::entryOf(Column &column, const QVariant &value)
{
    if (!value.isValid())
        return 0;
    const QVariant &last = column.values.at(column.last);
    if (last.typeId() == value.typeId() && last == value)
        return column.last;

    QHash<QString, quint32> *texts = value.typeId() == QMetaType::QString ? &column.texts : nullptr;
    QHash<qint32, quint32> *numbers = value.typeId() == QMetaType::Int ? &column.numbers : nullptr;
    if (texts) {
        if (const auto found = texts->constFind(value.toString()); found != texts->cend())
            return column.last = *found;
    } else if (numbers) {
        if (const auto found = numbers->constFind(value.toInt()); found != numbers->cend())
            return column.last = *found;
    }

    const auto entry = static_cast<quint32>(column.values.size());
    column.values.append(value);
    if (texts && texts->size() < kIndexed)
        texts->insert(value.toString(), entry);
    else if (numbers && numbers->size() < kIndexed)
        numbers->insert(value.toInt(), entry);
    return column.last = entry;
}

void JobArray::Set(int column, int row, const QVariant &value)
{
    if (!Contains(column, row))
        modErrorHandler::Raise(9);
    m_cells[qsizetype(row - 1) * m_columns + (column - 1)] = entryOf(m_values[column - 1], value);
}

QVariant JobArray::Value(int column, int row) const
{
    if (!Contains(column, row))
        return QVariant();
    const quint32 entry = m_cells.at(qsizetype(row - 1) * m_columns + (column - 1));
    return m_values.at(column - 1).values.at(entry);
}

QString JobArray::Text(int column, int row) const
{
    const QVariant value = Value(column, row);
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QString::number(value.toLongLong());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return QString();
    }
}
