#pragma once

// What the progress window's bar shows: a value from 0 to a maximum, drawn as
// a row of equal segments filled from the left. Every change tells which
// segments turned from empty to filled or back, so the window repaints those
// and leaves the rest of the bar alone.
class ProgressMeter
{
public:
    // The segments First .. First + Count - 1.
    struct SegmentSpan
    {
        int First = 0;
        int Count = 0;

        bool isEmpty() const { return Count == 0; }
        bool operator==(const SegmentSpan &) const = default;
    };

    static constexpr int DefaultSegments = 30;
    static constexpr int DefaultMaximum = 100;

    explicit ProgressMeter(int segments = DefaultSegments);

    int Minimum() const { return 0; }
    int Maximum() const { return m_maximum; }
    int Value() const { return m_value; }
    int Segments() const { return m_segments; }
    int FilledSegments() const { return filledFor(m_value, m_maximum); }
    bool IsFilled(int segment) const { return segment >= 0 && segment < FilledSegments(); }

    // A negative maximum is ignored; a value above the new maximum comes down to it.
    SegmentSpan SetMax(int maximum);
    // A value above the maximum becomes the maximum; a negative value is ignored.
    SegmentSpan SetValue(int value);
    // Back to an empty bar; the maximum stays.
    SegmentSpan Clear();

private:
    int filledFor(int value, int maximum) const;
    SegmentSpan moveTo(int value, int maximum);

    int m_segments;
    int m_maximum = DefaultMaximum;
    int m_value = 0;
};
