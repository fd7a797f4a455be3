#include "util/conversion.h"

#include <QtTest>

class TstConversion : public QObject
{
    Q_OBJECT

private slots:
    void hexToBytesFollowsTheChunkingRules_data();
    void hexToBytesFollowsTheChunkingRules();
    void readHexRefusesWhatIsNotHex_data();
    void readHexRefusesWhatIsNotHex();
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
    QTest::newRow("separators only") << " ,: \t" << QByteArray();
    QTest::newRow("one pair") << "1b" << QByteArray("\x1b", 1);
    QTest::newRow("upper and lower case") << "aBcD" << QByteArray("\xab\xcd", 2);
    QTest::newRow("odd length takes the first digit alone") << "123" << QByteArray("\x01\x23", 2);
    QTest::newRow("single digit") << "a" << QByteArray("\x0a", 1);
    QTest::newRow("spaced pairs") << "41 42 0d 0a" << QByteArray("AB\r\n");
    QTest::newRow("two spaced pairs") << "41 42" << QByteArray("AB");
    QTest::newRow("each group on its own") << "12 34" << QByteArray("\x12\x34", 2);
    QTest::newRow("odd group: its first digit alone") << "12 345" << QByteArray("\x12\x03\x45", 3);
    QTest::newRow("single digits") << "1 2 3" << QByteArray("\x01\x02\x03", 3);
    QTest::newRow("commas and 0x prefixes") << "0x41,0x42" << QByteArray("AB");
    QTest::newRow("colons, upper-case prefix, odd group") << "0X1:ff" << QByteArray("\x01\xff", 2);
    QTest::newRow("runs of mixed separators") << " 41 ,\t:42 " << QByteArray("AB");
    QTest::newRow("all byte values at the edges")
        << "000F10FF" << QByteArray("\x00\x0f\x10\xff", 4);
}

void TstConversion::hexToBytesFollowsTheChunkingRules()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(hexToBytes(text), bytes);
    QByteArray read = "left over";
    QString badGroup = "untouched";
    QVERIFY(readHex(text, &read, &badGroup));
    QCOMPARE(read, bytes);
    QCOMPARE(badGroup, QStringLiteral("untouched"));
}

void TstConversion::readHexRefusesWhatIsNotHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("badGroup");

    QTest::newRow("letters") << "zz"
                             << "zz";
    QTest::newRow("half-valid pair") << "g1"
                                     << "g1";
    QTest::newRow("dash inside a group") << "4-1"
                                         << "4-1";
    QTest::newRow("invalid group among valid ones, not dropped") << "zz12"
                                                                 << "zz12";
    QTest::newRow("first bad group is named") << "41 zz 4x"
                                              << "zz";
    QTest::newRow("prefix without digits") << "41 0x"
                                           << "0x";
    QTest::newRow("two prefixes") << "0x0x41"
                                  << "0x0x41";
    QTest::newRow("non-Latin digits")
        << QString::fromUtf8("\xd9\xa1\xd9\xa2") << QString::fromUtf8("\xd9\xa1\xd9\xa2");
    QTest::newRow("euro sign") << QString::fromUtf8("41 \xe2\x82\xac")
                               << QString::fromUtf8("\xe2\x82\xac");
}

void TstConversion::readHexRefusesWhatIsNotHex()
{
    QFETCH(QString, text);
    QFETCH(QString, badGroup);
    QByteArray bytes = "left over";
    QString named;
    QVERIFY(!readHex(text, &bytes, &named));
    QCOMPARE(named, badGroup);
    QCOMPARE(bytes, QByteArray());
    QCOMPARE(hexToBytes(text), QByteArray());
    QCOMPARE(invalidHexMessage(named), QStringLiteral("HEX can only hold hex digits: ") + badGroup);
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
