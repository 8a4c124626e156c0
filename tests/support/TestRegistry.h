#pragma once

#include <QString>
#include <QTemporaryDir>

// A registry store of the test's own, in a fresh folder; modRegistry uses it
// until the object goes. VARNO_OSK_REGISTRY points at it too, so that child
// processes (vo) see the same store.
class TestRegistry
{
public:
    TestRegistry();
    ~TestRegistry();

    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QByteArray m_previousEnvironment;
};
