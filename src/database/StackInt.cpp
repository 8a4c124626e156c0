#include "database/StackInt.h"

#include <algorithm>

void StackInt::Push(int value)
{
    if (m_count >= m_capacity) {
        m_capacity += GrowthStep;
        m_items.resize(static_cast<size_t>(m_capacity));
    }
    m_items[static_cast<size_t>(m_count)] = value;
    ++m_count;
}

void StackInt::PushUnique(int value)
{
    if (IndexOf(value) < 0)
        Push(value);
}

int StackInt::Pop()
{
    int value = -1;
    if (m_count >= 1) {
        --m_count;
        value = m_items[static_cast<size_t>(m_count)];
    }
    // Shrinking only a full step below the slack keeps a list that goes up and
    // down around a step boundary from reallocating every time.
    if (m_count < m_capacity - 2 * GrowthStep) {
        m_capacity -= GrowthStep;
        m_items.resize(static_cast<size_t>(m_capacity));
        m_items.shrink_to_fit();
    }
    return value;
}

int StackInt::Peek(int index) const
{
    if (index < 0 || index >= m_count)
        return -1;
    return m_items[static_cast<size_t>(index)];
}

void StackInt::RemoveItem(int index)
{
    if (index < 0 || index >= m_count)
        return;
    const auto first = m_items.begin() + index;
    std::move(first + 1, m_items.begin() + m_count, first);
    --m_count;
}

int StackInt::IndexOf(int value) const
{
    for (int i = 0; i < m_count; ++i) {
        if (m_items[static_cast<size_t>(i)] == value)
            return i;
    }
    return -1;
}

void StackInt::Clear()
{
    m_count = 0;
    m_capacity = 0;
    m_items.clear();
    m_items.shrink_to_fit();
}
