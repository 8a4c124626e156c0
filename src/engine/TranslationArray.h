#pragma once

#include <QList>

// Which console computer each engine client is: element r (from 1) holds the
// computer ID of engine client r. Until the first export it does not exist,
// which is not the same as existing with no rows.
class TranslationArray
{
public:
    void Create(int rows);
    void Erase();
    void ShrinkRows(int rows);

    bool Exists() const { return m_exists; }
    int LBound() const { return 1; }
    int UBound() const { return static_cast<int>(m_ids.size()); }
    int Rows() const { return static_cast<int>(m_ids.size()); }
    bool Contains(int row) const { return row >= 1 && row <= Rows(); }

    // Outside the array the failure is "Subscript out of range" (9).
    qint32 &operator[](int row);
    qint32 At(int row) const;

    // The IDs in row order; cheap to take, as the list is shared until written.
    const QList<qint32> &Ids() const { return m_ids; }

private:
    bool m_exists = false;
    QList<qint32> m_ids;
};
