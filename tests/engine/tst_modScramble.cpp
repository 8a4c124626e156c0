#include "common/modText.h"
#include "engine/modScramble.h"

#include <QRandomGenerator>
#include <QTest>

using namespace modScramble;

namespace {

// Hands out the given draws in order, then 0.
RandomSource scripted(QList<double> draws)
{
    auto queue = std::make_shared<QList<double>>(std::move(draws));
    return [queue] { return queue->isEmpty() ? 0.0 : queue->takeFirst(); };
}

// The draw that makes n, or prefix code `code`.
double forLength(int n)
{
    return (n + 0.5) / 120.0;
}
double forCode(int code)
{
    return (code - 35 + 0.5) / 215.0;
}

// Every code a QString can carry into the file: 0 to 199 without the five
// that the code page leaves unassigned.
QString randomText(QRandomGenerator &rng, int length)
{
    QString text;
    while (text.size() < length) {
        const int code = static_cast<int>(rng.bounded(200));
        const QChar c = modText::FromAnsiCode(code);
        if (c != QChar(QChar::ReplacementCharacter))
            text.append(c);
    }
    return text;
}

} // namespace

class TestScramble : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownBytes()
    {
        // n = 2: step 3, k runs 3, 6: "A" → (65+1+3)+35 = 104, "B" → (66+2+6)+35 = 109.
        const QByteArray out = Scramble(QStringLiteral("AB"), scripted({forLength(2), forCode(40), forCode(41)}));
        QCOMPARE(out, QByteArray("()Shm"));
    }

    void keyWrapsFrom256()
    {
        // n = 119: k runs 120, 240, then 360 - 255 = 105.
        QList<double> draws {forLength(119)};
        for (int i = 0; i < 119; ++i)
            draws << forCode(40);
        const QByteArray out = Scramble(QString(3, QChar(0)), scripted(draws));
        QCOMPARE(out.size(), 119 + 1 + 3);
        QCOMPARE(static_cast<unsigned char>(out.at(120)), 156);
        QCOMPARE(static_cast<unsigned char>(out.at(121)), 77);
        QCOMPARE(static_cast<unsigned char>(out.at(122)), 143);
    }

    // The longest prefix; the empty text leaves prefix and marker alone.
    void emptyTextIsPrefixAndMarker()
    {
        QList<double> draws {forLength(119)};
        for (int i = 0; i < 119; ++i)
            draws << forCode(35 + i % 90);
        const QByteArray out = Scramble(QString(), scripted(draws));
        QCOMPARE(out.indexOf('S'), qsizetype(119));
        QCOMPARE(out.size(), 120);
    }

    void prefixRejectsMarkerAndDelete()
    {
        // Offered 127, "S", 127 and 249 for a prefix of one: only 249 may stay.
        const QByteArray out = Scramble(QString(), scripted({forLength(1), forCode(127), forCode('S'), forCode(127), forCode(249)}));
        QCOMPARE(out, QByteArray("\xF9S"));
    }

    void drawOfOneStaysInRange()
    {
        QCOMPARE(Scramble(QStringLiteral("x"), [] { return 1.0; }).indexOf('S'), qsizetype(MaxPrefixLength));
    }

    void roundTripsOverManyStreams()
    {
        QRandomGenerator texts(4711);
        for (quint32 stream = 1; stream <= 500; ++stream) {
            const QString text = randomText(texts, static_cast<int>(texts.bounded(600)));
            auto rng = std::make_shared<QRandomGenerator>(stream);
            const QByteArray out = Scramble(text, [rng] { return rng->generateDouble(); });
            QString back;
            QString problem;
            QVERIFY2(Descramble(out, back, &problem), qPrintable(problem));
            QCOMPARE(back, text);
        }
    }

    void whatTheSchemeCannotCarry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("e acute (233) comes back as 33") << QStringLiteral("Jos\u00E9") << QStringLiteral("Jos!");
        QTest::newRow("euro sign (128) survives") << QStringLiteral("\u20AC") << QStringLiteral("\u20AC");
    }

    void whatTheSchemeCannotCarry()
    {
        QFETCH(QString, text);
        QFETCH(QString, readBack);
        QString back;
        QVERIFY(Descramble(Scramble(text), back));
        QCOMPARE(back, readBack);
    }

    void refusesWhatNoScramblingMakes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("no marker") << QByteArray("abcdef");
        QTest::newRow("prefix of 120") << QByteArray(120, 'a') + "S";
        QTest::newRow("body byte 34") << QByteArray("S\x22");
    }

    void refusesWhatNoScramblingMakes()
    {
        QFETCH(QByteArray, data);
        QString back = QStringLiteral("stale");
        QString problem;
        QVERIFY(!Descramble(data, back, &problem));
        QVERIFY(!problem.isEmpty());
        QVERIFY(back.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestScramble)
#include "tst_modScramble.moc"
