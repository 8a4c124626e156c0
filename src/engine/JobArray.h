#pragma once

#include <QHash>
#include <QList>
#include <QVariant>

// A two-dimensional array of variant cells as the engine takes it: first
// index the column, second the row, both from 1. A cell holds text, a 32-bit
// integer, a list (QVariantList, indexes from 0), a byte array (the scrambled
// configuration file) or nothing; a cell nobody wrote stays empty.
//
// Most cells of a job hold the same few values in every row (the settings
// the computers inherit from their groups), so a cell is a number into its
// column's table of values: a text or number already in the table, or the
// value the column took last, is not stored again. A row costs four bytes a
// column besides the values only it has. Copies share the storage.
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
    int Rows() const { return m_rows; }
    bool Contains(int column, int row) const;

    // Writes the cell; outside the array the failure is "Subscript out of range" (9).
    void Set(int column, int row, const QVariant &value);
    // The cell's value; an empty variant outside the array.
    QVariant Value(int column, int row) const;
    // The cell as the configuration file and the logs show it: text as it
    // is, numbers in decimal, anything else empty.
    QString Text(int column, int row) const;

private:
    struct Column
    {
        // Entry 0 is the empty cell.
        QList<QVariant> values;
        // Texts and numbers by their entry, up to kIndexed of each, so that
        // a column whose every row differs does not keep a second copy.
        QHash<QString, quint32> texts;
        QHash<qint32, quint32> numbers;
        quint32 last = 0;
    };
    static constexpr qsizetype kIndexed = 1024;

    quint32 entryOf(Column &column, const QVariant &value);

    int m_columns = 0;
    int m_rows = 0;
    QList<Column> m_values;
    // Row by row, the entry of each cell in its column.
    QList<quint32> m_cells;
};
