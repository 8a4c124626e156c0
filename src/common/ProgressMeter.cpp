#include "common/ProgressMeter.h"

#include <QtGlobal>

#include <algorithm>

ProgressMeter::ProgressMeter(int segments)
    : m_segments(std::max(1, segments))
{ }

ProgressMeter::SegmentSpan ProgressMeter::SetMax(int maximum)
{
    if (maximum < 0)
        return {};
    return moveTo(std::min(m_value, maximum), maximum);
}

ProgressMeter::SegmentSpan ProgressMeter::SetValue(int value)
{
    if (value < 0)
        return {};
    return moveTo(std::min(value, m_maximum), m_maximum);
}

ProgressMeter::SegmentSpan ProgressMeter::Clear()
{
    return moveTo(0, m_maximum);
}

int ProgressMeter::filledFor(int value, int maximum) const
{
    // An empty range has nothing to show; 64 bits because value * segments
    // overflows for the large counts of a directory import.
    if (maximum <= 0)
        return 0;
    return int(qint64(value) * m_segments / maximum);
}

ProgressMeter::SegmentSpan ProgressMeter::moveTo(int value, int maximum)
{
    const int before = FilledSegments();
    m_value = value;
    m_maximum = maximum;
    const int after = FilledSegments();
    if (after == before)
        return {};
    return {std::min(before, after), std::abs(after - before)};
}
