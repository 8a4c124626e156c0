#pragma once

#include <QList>
#include <QVariant>

// A two-dimensional array of variant cells as the engine takes it: first
// index the column, second the row, both from 1. A cell holds text, a 32-bit
// integer, a list (QVariantList, indexes from 0), a byte array (the scrambled
// configuration file) or nothing; a cell nobody wrote stays empty.
//
// Rows are stored whole, so that shrinking after an export keeps the
// contents without copying them.
class JobArray
{
public:
    // Erases the array and creates it with empty cells.
    void Create(int columns, int rows);
    void Erase();
    // Keeps the first `rows` rows with their contents.
    void ShrinkRows(int rows);

    bool Exists() const { return m_columns > 0; }
    int Columns() const { return m_columns; }
    int Rows() const { return static_cast<int>(m_rows.size()); }
    bool Contains(int column, int row) const;

    // The cell to write; outside the array the failure is "Subscript out of range" (9).
    QVariant &Cell(int column, int row);
    // The cell's value; an empty variant outside the array.
    QVariant Value(int column, int row) const;
    // The cell as the configuration file and the logs show it: text as it
    // is, numbers in decimal, anything else empty.
    QString Text(int column, int row) const;

private:
    int m_columns = 0;
    QList<QList<QVariant>> m_rows;
};
