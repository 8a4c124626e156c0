#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

// Stable merge sorts by text without regard to case; they order the nodes of
// the tree display. low = -1 means the first index, high = -1 the last one.
namespace modSort {

// The items low..high of `a`, sorted, as a new list indexed from 0.
QStringList MergeSortStrings(const QStringList &a, int low = -1, int high = -1);

// The rows low..high of `a` (each row a list of `columns` texts), sorted by
// their `keyColumn` text; whole rows move together.
QList<QStringList> MergeSortRows(const QList<QStringList> &a, int columns, int keyColumn, int low = -1, int high = -1);

// The positions of `keys` in sorted order (the same stable order as the
// sorts above), for callers that keep their items beside the keys.
std::vector<int> SortedPositions(const std::vector<QString> &keys);

// The last index of the left half of low..high (n = high - low + 1 items):
// low + n / 2 - 1, a half rounded to the even neighbour.
int MiddleIndex(int low, int n);

} // namespace modSort
