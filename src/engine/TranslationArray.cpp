#include "engine/TranslationArray.h"

#include "common/modErrorHandler.h"

void TranslationArray::Create(int rows)
{
    if (rows < 0)
        modErrorHandler::Raise(9);
    m_ids = QList<qint32>(rows, -1);
    m_exists = true;
}

void TranslationArray::Erase()
{
    m_ids.clear();
    m_exists = false;
}

void TranslationArray::ShrinkRows(int rows)
{
    if (rows < 0 || rows > Rows())
        modErrorHandler::Raise(9);
    m_ids.resize(rows);
}

qint32 &TranslationArray::operator[](int row)
{
    if (!Contains(row))
        modErrorHandler::Raise(9);
    return m_ids[row - 1];
}

qint32 TranslationArray::At(int row) const
{
    if (!Contains(row))
        modErrorHandler::Raise(9);
    return m_ids.at(row - 1);
}
