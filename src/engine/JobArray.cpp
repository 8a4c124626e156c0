#include "engine/JobArray.h"

#include "common/modErrorHandler.h"

void JobArray::Create(int columns, int rows)
{
    Erase();
    if (columns <= 0 || rows < 0)
        modErrorHandler::Raise(9);
    m_columns = columns;
    m_rows.resize(rows);
    for (QList<QVariant> &row : m_rows)
        row.resize(columns);
}

void JobArray::Erase()
{
    m_columns = 0;
    m_rows.clear();
}

void JobArray::ShrinkRows(int rows)
{
    if (rows < 0 || rows > Rows())
        modErrorHandler::Raise(9);
    m_rows.resize(rows);
}

bool JobArray::Contains(int column, int row) const
{
    return column >= 1 && column <= m_columns && row >= 1 && row <= Rows();
}

QVariant &JobArray::Cell(int column, int row)
{
    if (!Contains(column, row))
        modErrorHandler::Raise(9);
    return m_rows[row - 1][column - 1];
}

QVariant JobArray::Value(int column, int row) const
{
    if (!Contains(column, row))
        return QVariant();
    return m_rows.at(row - 1).at(column - 1);
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
