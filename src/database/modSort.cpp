#include "database/modSort.h"

#include "common/modText.h"

#include <vector>

namespace modSort {

namespace {

// Sorts positions into `keys` rather than the items themselves, so that rows
// are copied once at the end instead of at every merge level.
class IndexSorter
{
public:
    explicit IndexSorter(const std::vector<QString> &keys)
        : m_keys(keys)
        , m_scratch(keys.size())
    { }

    void sort(std::vector<int> &order, int low, int high)
    {
        const int n = high - low + 1;
        if (n < 2)
            return;
        const int mid = MiddleIndex(low, n);
        sort(order, low, mid);
        sort(order, mid + 1, high);
        merge(order, low, mid, high);
    }

private:
    void merge(std::vector<int> &order, int low, int mid, int high)
    {
        int left = low;
        int right = mid + 1;
        int out = low;
        while (left <= mid && right <= high) {
            const int l = order[static_cast<size_t>(left)];
            const int r = order[static_cast<size_t>(right)];
            // Less or equal takes the left item: equal names keep their order.
            if (modText::CompareText(m_keys[static_cast<size_t>(l)], m_keys[static_cast<size_t>(r)]) <= 0) {
                m_scratch[static_cast<size_t>(out++)] = l;
                ++left;
            } else {
                m_scratch[static_cast<size_t>(out++)] = r;
                ++right;
            }
        }
        while (left <= mid)
            m_scratch[static_cast<size_t>(out++)] = order[static_cast<size_t>(left++)];
        while (right <= high)
            m_scratch[static_cast<size_t>(out++)] = order[static_cast<size_t>(right++)];
        for (int i = low; i <= high; ++i)
            order[static_cast<size_t>(i)] = m_scratch[static_cast<size_t>(i)];
    }

    const std::vector<QString> &m_keys;
    std::vector<int> m_scratch;
};

// Resolves the -1 defaults; returns false when there is nothing to sort from.
bool resolveRange(qsizetype size, int &low, int &high)
{
    if (low == -1)
        low = 0;
    if (high == -1)
        high = static_cast<int>(size) - 1;
    return size > 0 && low >= 0 && high >= low && high < size;
}

// The sorted order of positions low..high (relative to the whole key array).
std::vector<int> sortedOrder(const std::vector<QString> &keys, int low, int high)
{
    std::vector<int> order;
    order.reserve(keys.size());
    for (int i = 0; i < static_cast<int>(keys.size()); ++i)
        order.push_back(i);
    IndexSorter(keys).sort(order, low, high);
    return order;
}

} // namespace

std::vector<int> SortedPositions(const std::vector<QString> &keys)
{
    if (keys.empty())
        return {};
    return sortedOrder(keys, 0, static_cast<int>(keys.size()) - 1);
}

int MiddleIndex(int low, int n)
{
    // low + n / 2 - 1, kept doubled so that the half is exact.
    const qint64 doubled = 2 * static_cast<qint64>(low) + n - 2;
    if (doubled % 2 == 0)
        return static_cast<int>(doubled / 2);
    const qint64 below = (doubled - 1) / 2;
    return static_cast<int>(below % 2 == 0 ? below : below + 1);
}

QStringList MergeSortStrings(const QStringList &a, int low, int high)
{
    if (!resolveRange(a.size(), low, high))
        return QStringList();

    const std::vector<QString> keys(a.cbegin(), a.cend());
    const std::vector<int> order = sortedOrder(keys, low, high);

    QStringList result;
    result.reserve(high - low + 1);
    for (int i = low; i <= high; ++i)
        result.append(a.at(order[static_cast<size_t>(i)]));
    return result;
}

QList<QStringList> MergeSortRows(const QList<QStringList> &a, int columns, int keyColumn, int low, int high)
{
    if (!resolveRange(a.size(), low, high))
        return QList<QStringList>();

    std::vector<QString> keys;
    keys.reserve(static_cast<size_t>(a.size()));
    for (const QStringList &row : a)
        keys.push_back(row.value(keyColumn));
    const std::vector<int> order = sortedOrder(keys, low, high);

    QList<QStringList> result;
    result.reserve(high - low + 1);
    for (int i = low; i <= high; ++i) {
        QStringList row = a.at(order[static_cast<size_t>(i)]);
        // Every row leaves with exactly `columns` entries, as a fixed table would.
        while (row.size() < columns)
            row.append(QString());
        if (columns >= 0 && row.size() > columns)
            row.resize(columns);
        result.append(row);
    }
    return result;
}

} // namespace modSort
