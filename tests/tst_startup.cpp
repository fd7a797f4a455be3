// Starts the real executable on a private X server, waits for its main window to be shown,
// closes it as a window manager would, and checks the exit code.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// Depth-first search for a viewable window with the given title.
Window findWindow(Display *display, Window parent, const QByteArray &title)
{
    Window root = 0, ret = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &ret, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char *name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            XWindowAttributes attributes;
            if (title == name && XGetWindowAttributes(display, children[i], &attributes)
                && attributes.map_state == IsViewable)
                found = children[i];
            XFree(name);
        }
        if (!found)
            found = findWindow(display, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void showsMainWindowAndExitsWithZeroWhenClosed();

private:
    QProcess xserver;
    QString display;
};

void TstStartup::initTestCase()
{
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty())
        QSKIP("Xvfb is not installed");
    // Pick a free display number: the server refuses one that is taken.
    for (int n = 90 + (QCoreApplication::applicationPid() % 50); n < 250; ++n) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
            || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        display = QStringLiteral(":%1").arg(n);
        xserver.start(xvfb, { display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp" });
        QVERIFY(xserver.waitForStarted());
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(socket) || xserver.state() != QProcess::Running, 20000);
        if (xserver.state() == QProcess::Running)
            return;
    }
    QFAIL("no free X display");
}

void TstStartup::cleanupTestCase()
{
    if (xserver.state() == QProcess::Running) {
        xserver.terminate();
        xserver.waitForFinished(10000);
    }
}

void TstStartup::showsMainWindowAndExitsWithZeroWhenClosed()
{
    QTemporaryDir dataHome;
    QVERIFY(dataHome.isValid());

    Display *x = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (x = XOpenDisplay(display.toLocal8Bit().constData())) != nullptr, 20000);

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_DATA_HOME", dataHome.path());
    // Mesa's GL drivers are built without frame pointers and are unloaded before the leak
    // report, so the fast unwinder's stacks end in an unknown module. The full unwinder reaches
    // the frames that tests/lsan.supp names; our own leaks are reported as before.
    const QString lsan = env.value("LSAN_OPTIONS");
    env.insert("LSAN_OPTIONS",
        (lsan.isEmpty() ? QString() : lsan + QLatin1Char(':'))
            + QStringLiteral("fast_unwind_on_malloc=0"));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(VT_EXECUTABLE, QStringList());
    QVERIFY(app.waitForStarted());

    Window window = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        (window = findWindow(x, DefaultRootWindow(x), "Verantis Terminal")) != 0, 30000);
    QCOMPARE(app.state(), QProcess::Running);

    // Ask the window to close, the way a window manager's close button does.
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, window, False, NoEventMask, &event);
    XFlush(x);

    QVERIFY2(app.waitForFinished(30000), "the program did not end when its window closed");
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    XCloseDisplay(x);

    // Starting and closing writes nothing into the data folder.
    QVERIFY(QDir(dataHome.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
