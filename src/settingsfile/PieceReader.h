#pragma once

#include <QByteArray>
#include <QIODevice>

#include <cstddef>

// Reads a device from where it stands to its end, a piece at a time, so
// that a file of any size passes through a buffer of one piece. It is a
// character stream as the JSON parser (RapidJSON) takes one: Peek, Take
// and Tell, with '\0' for the end.
class PieceReader
{
public:
    using Ch = char;
    static constexpr qsizetype PieceSize = 1 << 20;

    explicit PieceReader(QIODevice &device);
    PieceReader(const PieceReader &) = delete;
    PieceReader &operator=(const PieceReader &) = delete;

    bool AtEnd() const { return m_current == m_end; }
    char Peek() const { return m_current != m_end ? *m_current : '\0'; }
    char Take()
    {
        if (m_current == m_end)
            return '\0';
        const char c = *m_current++;
        if (m_current == m_end)
            next();
        return c;
    }
    // Bytes taken so far.
    std::size_t Tell() const { return std::size_t(m_bytesRead - (m_end - m_current)); }

    // A read failed; the bytes end there. The device's errorString() says why.
    bool Failed() const { return m_failed; }

    // The parser's writing side, which reading never uses.
    char *PutBegin() { return nullptr; }
    void Put(char) { }
    void Flush() { }
    std::size_t PutEnd(char *) { return 0; }

private:
    void next();

    QIODevice &m_device;
    QByteArray m_buffer;
    const char *m_current = nullptr;
    const char *m_end = nullptr;
    qint64 m_bytesRead = 0;
    bool m_failed = false;
};
