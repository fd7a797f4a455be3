#include "util/conversion.h"

#include <QtTest>

class TstConversion : public QObject
{
    Q_OBJECT

private slots:
    void hexToBytesFollowsTheChunkingRules_data();
    void hexToBytesFollowsTheChunkingRules();
    void bytesToHexIsTwoUpperCaseDigitsPerByte_data();
    void bytesToHexIsTwoUpperCaseDigitsPerByte();
    void asciiIsOneLatin1CharacterPerByte_data();
    void asciiIsOneLatin1CharacterPerByte();
    void everyByteSurvivesBothRoundTrips();
    void fieldsNormaliseAsTheOperatorSeesThem_data();
    void fieldsNormaliseAsTheOperatorSeesThem();
};

void TstConversion::hexToBytesFollowsTheChunkingRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("one pair") << "1b" << QByteArray("\x1b", 1);
    QTest::newRow("upper and lower case") << "aBcD" << QByteArray("\xab\xcd", 2);
    QTest::newRow("odd length takes the first digit alone") << "123" << QByteArray("\x01\x23", 2);
    QTest::newRow("single digit") << "a" << QByteArray("\x0a", 1);
    QTest::newRow("odd with space: '1','2 ','34'") << "12 34" << QByteArray("\x01\x02\x34", 3);
    QTest::newRow("even with space: '12',' 3','45'") << "12 345" << QByteArray("\x12\x03\x45", 3);
    QTest::newRow("spaces between digits") << "1 2 3" << QByteArray("\x01\x02\x03", 3);
    QTest::newRow("two spaces give zero") << "  " << QByteArray("\x00", 1);
    QTest::newRow("invalid pair gives zero, not dropped") << "zz12" << QByteArray("\x00\x12", 2);
    QTest::newRow("half-valid pair gives zero") << "1g" << QByteArray("\x00", 1);
    QTest::newRow("all byte values at the edges")
        << "000F10FF" << QByteArray("\x00\x0f\x10\xff", 4);
    QTest::newRow("non-Latin text") << QString::fromUtf8("€€") << QByteArray("\x00", 1);
}

void TstConversion::hexToBytesFollowsTheChunkingRules()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(hexToBytes(text), bytes);
}

void TstConversion::bytesToHexIsTwoUpperCaseDigitsPerByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("hex");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("edges") << QByteArray("\x00\x0f\x10\xff", 4) << "000F10FF";
    QTest::newRow("letters are upper case") << QByteArray("\xab\xcd\xef", 3) << "ABCDEF";
    QTest::newRow("NUL inside") << QByteArray("A\0B", 3) << "410042";
}

void TstConversion::bytesToHexIsTwoUpperCaseDigitsPerByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, hex);
    QCOMPARE(bytesToHex(bytes), hex);
}

void TstConversion::asciiIsOneLatin1CharacterPerByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("plain") << "hi" << QByteArray("hi");
    QTest::newRow("e acute is 0xE9") << QString(QChar(0xE9)) << QByteArray("\xe9", 1);
    QTest::newRow("control characters kept")
        << QString::fromLatin1("\x1b\n\r", 3) << QByteArray("\x1b\n\r", 3);
    QTest::newRow("NUL is not a terminator")
        << QString::fromLatin1("a\0b", 3) << QByteArray("a\0b", 3);
}

void TstConversion::asciiIsOneLatin1CharacterPerByte()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(asciiToBytes(text), bytes);
    QCOMPARE(bytesToAscii(bytes), text);
    QCOMPARE(bytesToAscii(bytes).size(), bytes.size());
}

void TstConversion::everyByteSurvivesBothRoundTrips()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QCOMPARE(hexToBytes(bytesToHex(all)), all);
    QCOMPARE(asciiToBytes(bytesToAscii(all)), all);

    // Characters beyond Latin-1 become 0x00, one byte per code unit, nothing skipped.
    QCOMPARE(asciiToBytes(QString::fromUtf8("a€b")), QByteArray("a\0b", 3));
    // A character outside the BMP is two code units, so two zero bytes.
    QCOMPARE(asciiToBytes(QString::fromUtf8("\xF0\x9F\x98\x80")), QByteArray(2, '\0'));
}

void TstConversion::fieldsNormaliseAsTheOperatorSeesThem_data()
{
    QTest::addColumn<QString>("typedHex");
    QTest::addColumn<QString>("shownHex");
    QTest::addColumn<QString>("shownAscii");

    QTest::newRow("'a' becomes 0A and a line feed") << "a"
                                                    << "0A"
                                                    << "\n";
    QTest::newRow("lower case turns upper") << "4a4b"
                                            << "4A4B"
                                            << "JK";
    QTest::newRow("odd length completed") << "123"
                                          << "0123" << QString::fromLatin1("\x01#", 2);
    QTest::newRow("ESC") << "1b"
                         << "1B"
                         << "\x1b";
}

void TstConversion::fieldsNormaliseAsTheOperatorSeesThem()
{
    QFETCH(QString, typedHex);
    QFETCH(QString, shownHex);
    QFETCH(QString, shownAscii);
    const QByteArray bytes = hexToBytes(typedHex);
    QCOMPARE(bytesToHex(bytes), shownHex);
    QCOMPARE(bytesToAscii(bytes), shownAscii);
}

QTEST_GUILESS_MAIN(TstConversion)
#include "tst_conversion.moc"
