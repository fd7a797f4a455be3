// The two process-wide options that main() sets give the same scaling on Qt 5 and Qt 6: the
// window's device pixel ratio follows the screen's DPI exactly, fractions included. Each case
// runs in a child process, since the options only take effect before the application exists.
#include "util/qtcompat.h"

#include <QApplication>
#include <QProcess>
#include <QWidget>
#include <QtTest>

#include <cstdio>
#include <cstring>

namespace {

// The child: the start-up of main(), then one shown window.
int printRatio(int argc, char **argv)
{
    QtCompat::enableHighDpiScaling();
    QGuiApplication::setDesktopSettingsAware(true);
    QApplication app(argc, argv);
    QWidget window;
    window.resize(200, 100);
    window.show();
    std::printf(
        "%g %d\n", window.devicePixelRatioF(), int(QGuiApplication::desktopSettingsAware()));
    return 0;
}

} // namespace

class TstHighDpi : public QObject
{
    Q_OBJECT

private slots:
    void ratioFollowsTheDesktopOnBothVersions_data();
    void ratioFollowsTheDesktopOnBothVersions();
};

void TstHighDpi::ratioFollowsTheDesktopOnBothVersions_data()
{
    QTest::addColumn<QByteArray>("dpi");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("100 %") << QByteArray("96") << QByteArray("1 1");
    QTest::newRow("125 %") << QByteArray("120") << QByteArray("1.25 1");
    QTest::newRow("150 %") << QByteArray("144") << QByteArray("1.5 1");
    QTest::newRow("175 %") << QByteArray("168") << QByteArray("1.75 1");
    QTest::newRow("200 %") << QByteArray("192") << QByteArray("2 1");
    QTest::newRow("250 %") << QByteArray("240") << QByteArray("2.5 1");
}

void TstHighDpi::ratioFollowsTheDesktopOnBothVersions()
{
    QFETCH(QByteArray, dpi);
    QFETCH(QByteArray, expected);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_FONT_DPI"), QString::fromLatin1(dpi));
    // Nothing else may choose the scaling.
    for (const char *name :
        { "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
            "QT_ENABLE_HIGHDPI_SCALING", "QT_SCALE_FACTOR_ROUNDING_POLICY" })
        env.remove(QString::fromLatin1(name));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--print-ratio") });
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardOutput().trimmed(), expected);
}

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--print-ratio") == 0)
        return printRatio(argc, argv);
    QCoreApplication app(argc, argv);
    TstHighDpi test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
