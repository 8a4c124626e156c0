#include "settingsfile/PieceReader.h"

#include <algorithm>

PieceReader::PieceReader(QIODevice &device)
    : m_device(device)
{
    next();
}

void PieceReader::next()
{
    // A small file needs no buffer of a whole piece.
    if (m_buffer.isEmpty())
        m_buffer.resize(qBound<qint64>(4096, m_device.bytesAvailable(), PieceSize));
    const qint64 size = m_failed ? 0 : m_device.read(m_buffer.data(), m_buffer.size());
    if (size < 0)
        m_failed = true;
    m_current = m_buffer.constData();
    m_end = m_current + std::max<qint64>(size, 0);
    m_bytesRead += std::max<qint64>(size, 0);
}
