// The application icon inside the running program, and the Windows resources that cannot be built
// here: the icon file carries the usual sizes, the manifest asks for what it should.
#include "testapp.h"
#include "ui/appmainwin.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace {

const QString sourceDir = QStringLiteral(VT_SOURCE_DIR);

QImage shippedIcon()
{
    return QImage(sourceDir + QStringLiteral("/dist/icons/org.verantis.VerantisTerminal.png"))
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class TstDesktopIntegration : public QObject
{
    Q_OBJECT

private slots:
    void applicationIconIsTheShippedIcon();
    void mainWindowShowsTheApplicationIcon();
    void windowsIconCarriesTheUsualSizes();
    void windowsManifestAsksForInvokerRightsAndCommonControls6();
    void windowsResourceScriptNamesExistingFiles();
};

void TstDesktopIntegration::applicationIconIsTheShippedIcon()
{
    const QImage expected = shippedIcon();
    QCOMPARE(expected.size(), QSize(256, 256));
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    QCOMPARE(
        icon.pixmap(QSize(256, 256)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
        expected);
}

void TstDesktopIntegration::mainWindowShowsTheApplicationIcon()
{
    AppMainWin *window = VerantisTerminalApp::app()->mainWin();
    QVERIFY(window);
    QCOMPARE(window->windowIcon()
                 .pixmap(QSize(256, 256))
                 .toImage()
                 .convertToFormat(QImage::Format_ARGB32_Premultiplied),
        shippedIcon());
}

void TstDesktopIntegration::windowsIconCarriesTheUsualSizes()
{
    QImageReader reader(sourceDir + QStringLiteral("/dist/windows/VerantisTerminal.ico"));
    if (!QImageReader::supportedImageFormats().contains("ico"))
        QSKIP("Qt's ICO image plugin is not installed");
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QSet<int> sizes;
    do {
        const QImage frame = reader.read();
        QVERIFY2(!frame.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(frame.width(), frame.height());
        sizes.insert(frame.width());
    } while (reader.jumpToNextImage());
    QCOMPARE(sizes, (QSet<int> { 16, 24, 32, 48, 64, 256 }));
}

void TstDesktopIntegration::windowsManifestAsksForInvokerRightsAndCommonControls6()
{
    QFile file(sourceDir + QStringLiteral("/dist/windows/VerantisTerminal.manifest"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList levels;
    QStringList dependencies;
    QStringList elementPath;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            elementPath << xml.name().toString();
            const QXmlStreamAttributes attributes = xml.attributes();
            if (xml.name() == QLatin1String("requestedExecutionLevel"))
                levels << attributes.value(QLatin1String("level")).toString();
            if (xml.name() == QLatin1String("assemblyIdentity")
                && elementPath.contains(QLatin1String("dependentAssembly")))
                dependencies << attributes.value(QLatin1String("name")).toString()
                        + QLatin1Char(' ') + attributes.value(QLatin1String("version")).toString()
                        + QLatin1Char(' ')
                        + attributes.value(QLatin1String("publicKeyToken")).toString();
        } else if (xml.isEndElement()) {
            elementPath.removeLast();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(levels, QStringList { QStringLiteral("asInvoker") });
    QCOMPARE(dependencies,
        QStringList {
            QStringLiteral("Microsoft.Windows.Common-Controls 6.0.0.0 6595b64144ccf1df") });
}

void TstDesktopIntegration::windowsResourceScriptNamesExistingFiles()
{
    QFile file(sourceDir + QStringLiteral("/dist/windows/VerantisTerminal.rc.in"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString script = QString::fromUtf8(file.readAll());
    // One icon (the first icon resource is the executable's) and the manifest as resource 1 of
    // type 24, the one the loader reads when the process starts.
    static const QRegularExpression icon(
        QStringLiteral("^IDI_ICON1 ICON \"@VT_WINDOWS_DIR@/([^\"]+)\"$"),
        QRegularExpression::MultilineOption);
    static const QRegularExpression manifest(QStringLiteral("^1 24 \"@VT_WINDOWS_DIR@/([^\"]+)\"$"),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch iconMatch = icon.match(script);
    const QRegularExpressionMatch manifestMatch = manifest.match(script);
    QVERIFY(iconMatch.hasMatch());
    QVERIFY(manifestMatch.hasMatch());
    QCOMPARE(iconMatch.captured(1), QStringLiteral("VerantisTerminal.ico"));
    QCOMPARE(manifestMatch.captured(1), QStringLiteral("VerantisTerminal.manifest"));
    QVERIFY(QFile::exists(sourceDir + QStringLiteral("/dist/windows/") + iconMatch.captured(1)));
    QVERIFY(
        QFile::exists(sourceDir + QStringLiteral("/dist/windows/") + manifestMatch.captured(1)));
}

VT_TEST_MAIN(TstDesktopIntegration)
#include "tst_desktopintegration.moc"
