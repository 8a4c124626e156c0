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
    void knownBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<double>>("draws");
        QTest::addColumn<QByteArray>("bytes");
        const QList<double> longest = QList<double> {forLength(119)} + QList<double>(119, forCode(40));
        // n = 2: step 3, k runs 3, 6: "A" → (65+1+3)+35 = 104, "B" → (66+2+6)+35 = 109.
        QTest::newRow("two characters") << "AB" << QList<double> {forLength(2), forCode(40), forCode(41)} << QByteArray("()Shm");
        // n = 119: k runs 120, 240, then 360 - 255 = 105.
        QTest::newRow("key wraps from 256") << QString(3, QChar(0)) << longest << QByteArray(119, '(') + "S\x9C\x4D\x8F";
        // n = 63: k runs 64, 128, 192, then exactly 256 wraps to 1, then 65.
        QTest::newRow("key reaching 256 wraps") << QString(5, QChar(0)) << (QList<double> {forLength(63)} + QList<double>(63, forCode(40)))
                                                << QByteArray(63, '(') + "Sd\xA5\xE6(i";
        QTest::newRow("empty text: prefix and marker") << QString() << longest << QByteArray(119, '(') + "S";
        // Offered 127, "S", 127 and 249 for a prefix of one: only 249 may stay.
        QTest::newRow("prefix refuses marker and DEL")
            << QString() << QList<double> {forLength(1), forCode(127), forCode('S'), forCode(127), forCode(249)} << QByteArray("\xF9S");
    }

    void knownBytes()
    {
        QFETCH(QString, text);
        QFETCH(QList<double>, draws);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Scramble(text, scripted(draws)), bytes);
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
