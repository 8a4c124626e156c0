#pragma once

#include <vector>

// A growable list of 32-bit integers, used as a stack and as an ordered set:
// the child lists of the computer tree, the name-index buckets and the setup
// wizard's page history. Storage grows and shrinks in steps of 100 so that
// lists that breathe around a size do not reallocate on every push.
class StackInt
{
public:
    static constexpr int GrowthStep = 100;

    void Push(int value);
    // Pushes only a value that is not in the list yet.
    void PushUnique(int value);
    // The last value, removed; -1 on an empty list.
    int Pop();
    int Count() const { return m_count; }
    // The value at `index`, or -1 past the end.
    int Peek(int index) const;
    // Removes the value at `index`, keeping the order of the rest.
    void RemoveItem(int index);
    // Position of the first entry equal to `value`, or -1.
    int IndexOf(int value) const;
    void Clear();

    int Capacity() const { return m_capacity; }

private:
    std::vector<int> m_items;
    int m_count = 0;
    int m_capacity = 0;
};
