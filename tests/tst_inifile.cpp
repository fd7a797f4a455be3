// The store's INI files written without QSettings: byte for byte what QSettings writes, read
// back by QSettings as written, and handed to QSettings where that is not certain.
#include "data/inifile.h"
#include "data/inisyntax.h"
#include "util/qtcompat.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// Text made of the characters that need care in a key or a value.
QString trickyText(QRandomGenerator &random)
{
    static const QString alphabet = QStringLiteral("aZ09_-. ;,=\"\\@%/#[]\t\r\n\x01\x1f\x7f")
        + QChar(0xE9) + QChar(0xFF) + QChar(0x100) + QChar(0x20AC) + QChar(0xD83D) + QChar(0xDE00)
        + QChar(0) + QStringLiteral("AbCdEf");
    QString text;
    const int length = int(random.bounded(12));
    for (int i = 0; i < length; ++i)
        text += alphabet.at(int(random.bounded(alphabet.size())));
    return text;
}

QByteArray trickyBytes(QRandomGenerator &random)
{
    QByteArray bytes;
    const int length = int(random.bounded(10));
    for (int i = 0; i < length; ++i)
        bytes += char(random.bounded(256));
    return bytes;
}

} // namespace

class TstIniFile : public QObject
{
    Q_OBJECT

private slots:
    void writesWhatQSettingsWrites_data();
    void writesWhatQSettingsWrites();
    void changesAreWrittenOnceFromTheEventLoop();
    void removingTheLastKeyLeavesAnEmptyFile();
    void keepsWhatAnotherWriterSaved();
    void handEditedGroupsAndListsGoThroughQSettings();
    void removingAGroupNameLeavesTheKeysUnderIt();
    void failedWriteIsReportedAndTriedAgainOrDiscarded();
    void writeCutShortIsRefusedAndTheFileStays_data();
    void writeCutShortIsRefusedAndTheFileStays();
};

void TstIniFile::writesWhatQSettingsWrites_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QVariantList>("values");
    QTest::newRow("plain") << QStringList({ "Cam1_comport", "Cam1_baudrate", "ping" })
                           << QVariantList({ "COM3", 115200, QByteArray("\x01\x02", 2) });
    QTest::newRow("non-ASCII") << QStringList(
        { QString::fromUtf8("Kamera \xc3\xa9\xe2\x82\xac"), "b" })
                               << QVariantList({ QString::fromUtf8(
                                                     "\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \x7f"
                                                     "1"),
                                      QString::fromUtf8("@\xc3\xa9") });
    QTest::newRow("escapes") << QStringList({ "a b", "x;y", "@at", "quote\"", "eacute\xc3\xa9" })
                             << QVariantList({ " lead", "semi;colon", "@value", "tab\there",
                                    QByteArray("\x00"
                                               "1a\xff"
                                               "F",
                                        5) });
    QRandomGenerator random(20261207);
    for (int round = 0; round < 20; ++round) {
        QStringList keys;
        QVariantList values;
        for (int i = 0; i < 30; ++i) {
            QString key = trickyText(random);
            // Names with "/" are refused before they reach the files.
            key.remove(QLatin1Char('/'));
            if (key.isEmpty() || keys.contains(key))
                continue;
            keys << key;
            switch (i % 3) {
            case 0:
                values << trickyText(random);
                break;
            case 1:
                values << int(random.bounded(-1000000000, 1000000000));
                break;
            default:
                values << trickyBytes(random);
                break;
            }
        }
        QTest::newRow(qPrintable(QStringLiteral("random %1").arg(round))) << keys << values;
    }
}

void TstIniFile::writesWhatQSettingsWrites()
{
    QFETCH(QStringList, keys);
    QFETCH(QVariantList, values);
    QTemporaryDir dir;
    const QString byQSettings = dir.filePath("qsettings.ini");
    const QString byIniFile = dir.filePath("inifile.ini");
    {
        QSettings settings(byQSettings, QSettings::IniFormat);
        QtCompat::useUtf8Ini(settings);
        IniFile file(byIniFile);
        for (int i = 0; i < keys.size(); ++i) {
            settings.setValue(keys.at(i), values.at(i));
            file.setValue(keys.at(i), values.at(i));
        }
        settings.sync();
        QVERIFY(file.sync());
    }
    QCOMPARE(fileBytes(byIniFile), fileBytes(byQSettings));

    // And read back by QSettings, and by a new IniFile, as written: from copies, as QSettings
    // would answer from the values it still holds for a file it wrote.
    const QString copy = dir.filePath("inifile-copy.ini");
    QVERIFY(QFile::copy(byIniFile, copy));
    QSettings reader(copy, QSettings::IniFormat);
    QtCompat::useUtf8Ini(reader);
    const IniFile again(copy);
    QStringList sorted = keys;
    sorted.sort();
    QCOMPARE(reader.allKeys(), sorted);
    QCOMPARE(again.allKeys(), sorted);
    const QString ownCopy = dir.filePath("copy.ini");
    QVERIFY(QFile::copy(byQSettings, ownCopy));
    QSettings own(ownCopy, QSettings::IniFormat);
    QtCompat::useUtf8Ini(own);
    for (int i = 0; i < keys.size(); ++i) {
        // QSettings reads numbers back as text.
        QVariant expected = values.at(i).userType() == QMetaType::Int
            ? QVariant(values.at(i).toString())
            : values.at(i);
        // Characters beyond 16 bits, and halves of them, do not survive QSettings' UTF-8 files
        // (Qt 5's writer drops them, Qt 6 reads halves back as U+FFFD); the file holds the same
        // bytes, so it reads back as QSettings' own file does.
        const QString text = values.at(i).toString();
        const bool beyond16Bits = values.at(i).userType() == QMetaType::QString
            && std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
        if (beyond16Bits)
            expected = own.value(keys.at(i));
        QCOMPARE(reader.value(keys.at(i)), expected);
        QCOMPARE(again.value(keys.at(i)), expected);
    }
}

void TstIniFile::changesAreWrittenOnceFromTheEventLoop()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/folder/list.ini");
    IniFile file(path);
    file.setValue("a", 1);
    file.setValue("b", "two");
    file.remove("a");
    // Nothing on disk until the event loop runs; the folder appears with the file.
    QVERIFY(!QFile::exists(path));
    QCOMPARE(file.value("b"), QVariant("two"));
    QCOMPARE(file.value("a", "gone"), QVariant("gone"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(path), QByteArray("[General]\nb=two\n"), 10000);
}

void TstIniFile::removingTheLastKeyLeavesAnEmptyFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.ini");
    writeBytes(path, "[General]\nonly=1\n");
    {
        IniFile file(path);
        file.remove("");
        file.remove("missing");
        QVERIFY(file.sync());
        QCOMPARE(fileBytes(path), QByteArray("[General]\nonly=1\n"));
        file.remove("only");
    }
    QCOMPARE(fileBytes(path), QByteArray());
}

void TstIniFile::keepsWhatAnotherWriterSaved()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.ini");
    writeBytes(path, "[General]\nmine=1\n");
    IniFile file(path);
    // Another instance of the program saves a name meanwhile.
    writeBytes(path, "[General]\nmine=1\ntheirs=2\n");
    file.setValue("new", 3);
    QVERIFY(file.sync());
    QCOMPARE(fileBytes(path), QByteArray("[General]\nmine=1\nnew=3\ntheirs=2\n"));
    QCOMPARE(file.allKeys(), QStringList({ "mine", "new", "theirs" }));
}

void TstIniFile::handEditedGroupsAndListsGoThroughQSettings()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.ini");
    writeBytes(path, "[General]\nlist=a, b\nplain=x\n\n[group]\nkey=1\n");
    IniFile file(path);
    QCOMPARE(file.allKeys(), QStringList({ "group/key", "list", "plain" }));
    QCOMPARE(file.value("list"), QVariant(QStringList({ "a", "b" })));
    file.remove("plain");
    file.setValue("added", "y");
    QVERIFY(file.sync());
    QCOMPARE(fileBytes(path), QByteArray("[General]\nadded=y\nlist=a, b\n\n[group]\nkey=1\n"));
}

void TstIniFile::removingAGroupNameLeavesTheKeysUnderIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.ini");
    writeBytes(path, "[General]\nLab=1\nOther=1\n\n[Lab]\nCam=1\n");
    IniFile file(path);
    file.remove("Lab");
    QVERIFY(file.sync());
    QVERIFY(file.writtenByQSettings());
    QCOMPARE(file.allKeys(), QStringList({ "Lab/Cam", "Other" }));
    QSettings reader(path, QSettings::IniFormat);
    QtCompat::useUtf8Ini(reader);
    QCOMPARE(reader.allKeys(), QStringList({ "Lab/Cam", "Other" }));
}

void TstIniFile::failedWriteIsReportedAndTriedAgainOrDiscarded()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.ini");
    writeBytes(path, "[General]\na=1\n");
    IniFile file(path);
    QSignalSpy reread(&file, &IniFile::reread);
    file.setValue("b", 2);
    QVERIFY(file.sync());
    // Where the plain writer exists it writes this file; elsewhere QSettings does.
    QCOMPARE(file.writtenByQSettings(), IniSyntax::line("b", 2).isEmpty());

    // A folder in the file's place refuses the write; the change stays in memory.
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkpath(path));
    file.setValue("c", 3);
    QVERIFY(!file.sync());
    QCOMPARE(file.value("c"), QVariant(3));

    // With a file back, the change is tried again, merged with what that file holds.
    QVERIFY(QDir(path).removeRecursively());
    writeBytes(path, "[General]\na=1\nb=2\nd=4\n");
    QVERIFY(file.sync());
    QVERIFY(file.writtenByQSettings());
    QCOMPARE(reread.count(), 1);
    QCOMPARE(fileBytes(path), QByteArray("[General]\na=1\nb=2\nc=3\nd=4\n"));

    // A change taken back by its owner is never written.
    file.setValue("e", 5);
    file.discardChanges();
    QVERIFY(file.sync());
    // The write the change had scheduled runs, and finds nothing to write.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(fileBytes(path), QByteArray("[General]\na=1\nb=2\nc=3\nd=4\n"));
}

void TstIniFile::writeCutShortIsRefusedAndTheFileStays_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("plain lines") << QByteArray("[General]\na=1\n");
    QTest::newRow("through QSettings") << QByteArray("[General]\na=1\n\n[g]\nb=1\n");
}

void TstIniFile::writeCutShortIsRefusedAndTheFileStays()
{
    // A file size limit stops every write in the middle, as a disk filling up does, without
    // root and whatever room the disk has.
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    const QString path = dir.filePath("list.ini");
    writeBytes(path, contents);
    IniFile file(path);
    const QStringList keys = file.allKeys();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit unlimited = limit;
    limit.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const QString reason = file.commit({ { "big", QByteArray(20000, 'x') } });
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &unlimited), 0);
    QVERIFY(!reason.isEmpty());
    QCOMPARE(fileBytes(path), contents);
    QCOMPARE(file.allKeys(), keys);

    // The next write lands whole, without the refused change.
    QCOMPARE(file.commit({ { "c", 3 } }), QString());
    IniFile reread(path);
    QStringList expected = keys + QStringList { "c" };
    expected.sort();
    QCOMPARE(reread.allKeys(), expected);
}

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_inifile.moc"
