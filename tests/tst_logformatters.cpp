// The Lines and Hex dump views' formatters and the ANSI renderer, on rows as the store gives
// them: bytes split over batches, with their times.
#include "ui/ansirenderer.h"
#include "ui/hexdumpformatter.h"
#include "ui/linesplitter.h"

#include <QtTest>

namespace {

// "R 150 bytes": a Received row 150 ms after 10:00:00.000 (S Sent, E Event, X a port error).
QVector<ViewLine> run(LogFormatter &formatter, const QList<QByteArray> &batches)
{
    QVector<ViewLine> lines;
    qint64 id = 0;
    for (const QByteArray &batch : batches) {
        const int space = batch.indexOf(' ', 2);
        const int ms = batch.mid(2, space - 2).toInt();
        const QTime time = QTime(10, 0).addMSecs(ms);
        CaptureStore::LogRow row { batch.at(0) == 'X' ? -1 : ++id,
            batch.at(0) == 'S'       ? CaptureStore::LogRow::Sent
                : batch.at(0) == 'R' ? CaptureStore::LogRow::Received
                                     : CaptureStore::LogRow::Event,
            batch.mid(space + 1),
            batch.at(0) == 'X' ? QString()
                               : QStringLiteral("01.02.2026 ") + time.toString("hh:mm:ss.zzz") };
        formatter.add(row, &lines);
    }
    ViewLine pending;
    if (formatter.pending(&pending))
        lines.append(pending);
    return lines;
}

QStringList texts(const LogFormatter &formatter, const QVector<ViewLine> &lines)
{
    QStringList out;
    for (const ViewLine &line : lines)
        out << formatter.render(line).text;
    return out;
}

const QString CR(QChar(0x240D)), LF(QChar(0x240A)), ESC(QChar(0x241B)), More(QChar(0x2026));

} // namespace

class TstLogFormatters : public QObject
{
    Q_OBJECT

private slots:
    void linesFromBatches_data();
    void linesFromBatches();
    void sgrIsRendered();
    void otherSequencesAreNeutralised_data();
    void otherSequencesAreNeutralised();
    void hexDumpLayout();
};

void TstLogFormatters::linesFromBatches_data()
{
    QTest::addColumn<int>("split");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QList<QByteArray>>("batches");
    QTest::addColumn<QStringList>("lines");
    const QString t0 = "10:00:00.000 < ";
    const int autoSplit = LineSplitter::Auto;
    QTest::newRow("LF") << int(LineSplitter::Lf) << 100 << QList<QByteArray> { "R 0 ab\ncd\r\n" }
                        << QStringList { t0 + "ab", t0 + "cd" + CR };
    QTest::newRow("CR") << int(LineSplitter::Cr) << 100 << QList<QByteArray> { "R 0 a\r\nb\r" }
                        << QStringList { t0 + "a", t0 + LF + "b" };
    QTest::newRow("CR LF keeps lone ends")
        << int(LineSplitter::CrLf) << 100 << QList<QByteArray> { "R 0 a\rb\nc\r\nd\r", "R 1 e\r\n" }
        << QStringList { t0 + "a" + CR + "b" + LF + "c", t0 + "d" + CR + "e" };
    QTest::newRow("auto: LF, CR LF, lone CR")
        << autoSplit << 100 << QList<QByteArray> { "R 0 a\nb\r\nc\rd\n" }
        << QStringList { t0 + "a", t0 + "b", t0 + "c", t0 + "d" };
    QTest::newRow("CR LF split between batches")
        << autoSplit << 100 << QList<QByteArray> { "R 0 one\r", "R 5 \ntwo\r\n" }
        << QStringList { t0 + "one", "10:00:00.005 < two" };
    QTest::newRow("joined, stamped with the first byte")
        << autoSplit << 100 << QList<QByteArray> { "R 0 MEAS:", "R 10 VOLT? 1.2", "R 20 E+00\r\n" }
        << QStringList { t0 + "MEAS:VOLT? 1.2E+00" };
    QTest::newRow("a gap ends a line")
        << autoSplit << 100 << QList<QByteArray> { "R 0 abc", "R 99 d", "R 199 ef\n" }
        << QStringList { t0 + "abcd", "10:00:00.199 < ef" };
    QTest::newRow("gap 0: never") << autoSplit << 0 << QList<QByteArray> { "R 0 abc", "R 5000 d\n" }
                                  << QStringList { t0 + "abcd" };
    QTest::newRow("a Send ends a pending line")
        << autoSplit << 100 << QList<QByteArray> { "R 0 $ ", "S 10 ls\r\n", "R 20 a\n" }
        << QStringList { t0 + "$ ", "10:00:00.010 > ls" + CR + LF, "10:00:00.020 < a" };
    QTest::newRow("pending, events and errors")
        << autoSplit << 100 << QList<QByteArray> { "R 0 ab", "E 5 Lost", "X 6 Error", "R 7 c" }
        << QStringList { t0 + "ab", "10:00:00.005 * Lost", "             ! Error",
               "10:00:00.007 < c" + More };
    QTest::newRow("line longer than the window")
        << autoSplit << 100
        << QList<QByteArray> { "R 0 " + QByteArray(LineSplitter::MaxLineBytes - 1, 'x'),
               "R 1 yz\n" }
        << QStringList { t0 + QString(LineSplitter::MaxLineBytes - 1, 'x') + "y",
               "10:00:00.001 < " + More + "z" };
    QTest::newRow("escape cut at a batch end")
        << autoSplit << 100
        << QList<QByteArray> { "R 0 \x1b[3", "R 1 1mred\x1b]0;ti", "R 2 tle\x07!\n" }
        << QStringList { t0 + "red!" };
}

void TstLogFormatters::linesFromBatches()
{
    QFETCH(int, split);
    QFETCH(int, gap);
    QFETCH(QList<QByteArray>, batches);
    QFETCH(QStringList, lines);
    LineSplitter splitter(LineSplitter::Split(split), gap, false);
    QCOMPARE(texts(splitter, run(splitter, batches)), lines);
    // The same split again after a reset, as when the window is laid out anew.
    splitter.reset();
    QCOMPARE(texts(splitter, run(splitter, batches)), lines);
    // A pending line ends once quiet for the gap, with nothing else arriving.
    QVector<ViewLine> ended;
    const qint64 last = LogFormatter::msecsOf("01.02.2026 10:00:00.000")
        + batches.last().mid(2, batches.last().indexOf(' ', 2) - 2).toInt();
    const bool pending = lines.last().endsWith(More);
    QVERIFY(!splitter.endIfQuiet(last + gap - 1, &ended));
    QCOMPARE(splitter.endIfQuiet(last + gap, &ended), gap > 0 && pending);
    ViewLine still;
    QCOMPARE(splitter.pending(&still), gap == 0 && pending);
}

void TstLogFormatters::sgrIsRendered()
{
    LineSplitter splitter(LineSplitter::Auto, 100, false);
    const QVector<ViewLine> lines = run(splitter,
        { "R 0 \x1b[1;31mERR\x1b[22m x\n\x1b[38;5;196mA\x1b[48;2;1;2;3mB\x1b[39;49mC\x1b[0m\n" });
    QCOMPARE(lines.size(), 2);
    // The colour set on one line goes on in the next, until reset.
    const StyledText first = splitter.render(lines.at(0));
    const StyledText second = splitter.render(lines.at(1));
    QCOMPARE(first.text, "10:00:00.000 < ERR x");
    QCOMPARE(first.runs.size(), 3);
    QCOMPARE(first.runs.at(1).length, 3);
    QVERIFY(first.runs.at(1).style.bold);
    QCOMPARE(first.runs.at(1).style.foreground, AnsiRenderer::paletteColour(1));
    QVERIFY(!first.runs.at(2).style.bold);
    QVERIFY(first.runs.at(2).style.hasForeground);
    QCOMPARE(second.text, "10:00:00.000 < ABC");
    QCOMPARE(second.runs.size(), 4);
    QCOMPARE(second.runs.at(1).style.foreground, AnsiRenderer::paletteColour(196));
    QCOMPARE(second.runs.at(2).style.background, qRgb(1, 2, 3));
    QCOMPARE(second.runs.at(3).style, TextStyle());
    // Raw: nothing rendered, every escape a symbol.
    LineSplitter raw(LineSplitter::Auto, 100, true);
    QCOMPARE(texts(raw, run(raw, { "R 0 \x1b[31mA\n" })),
        QStringList { "10:00:00.000 < " + ESC + "[31mA" });
}

void TstLogFormatters::otherSequencesAreNeutralised_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("cursor moves") << QByteArray("a\x1b[2Ab\x1b[H\x1b[10;5fc\x1b[3Dd\x1b"
                                                "7e\x1b"
                                                "8")
                                  << "abcde";
    QTest::newRow("clear screen and line") << QByteArray("\x1b[2Jx\x1b[Ky\x1b"
                                                         "cz")
                                           << "xyz";
    QTest::newRow("titles") << QByteArray("\x1b]0;title\x07x\x1b]2;t\x1b\\y\x1bPq\x1b\\z") << "xyz";
    QTest::newRow("modes") << QByteArray("\x1b[?25l\x1b[?1049hx\x1b(By\x1b[>0m") << "xy";
    QTest::newRow("cut off at the end") << QByteArray("ok\x1b[3") << "ok";
    QTest::newRow("ESC alone at the end") << QByteArray("ok\x1b") << "ok";
    QTest::newRow("broken off by a control") << QByteArray("a\x1b[1\x08"
                                                           "b")
                                             << "a\bb";
}

void TstLogFormatters::otherSequencesAreNeutralised()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    TextStyle style;
    StyledText out;
    AnsiRenderer::render(bytes, &style, false, &out);
    QCOMPARE(out.text, text);
    QCOMPARE(style, TextStyle());
}

void TstLogFormatters::hexDumpLayout()
{
    HexDumpFormatter dump(100);
    const QVector<ViewLine> lines = run(
        dump, { "R 0 Hello, world!\r\n0123", "R 5 456", "S 10 AT\r", "R 20 \x1b", "R 300 \x7f" });
    const QString pad(3, ' ');
    QCOMPARE(texts(dump, lines),
        QStringList({ "10:00:00.000 < Received",
            "00000000  48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 30  Hello, world!" + CR + LF
                + "0",
            "00000010  31 32 33 34 35 36 " + pad + pad + " " + pad.repeated(8) + " 123456",
            "10:00:00.010 > Sent",
            "00000000  41 54 0D " + pad.repeated(5) + " " + pad.repeated(8) + " AT" + CR,
            "10:00:00.020 < Received",
            "00000000  1B " + pad.repeated(7) + " " + pad.repeated(8) + " " + ESC,
            "10:00:00.300 < Received",
            "00000000  7F " + pad.repeated(7) + " " + pad.repeated(8) + " ." }));
    QVERIFY(lines.last().pending);
}

QTEST_GUILESS_MAIN(TstLogFormatters)
#include "tst_logformatters.moc"
