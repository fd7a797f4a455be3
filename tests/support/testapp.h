#ifndef TESTAPP_H
#define TESTAPP_H

#include "app/verantisterminalapp.h"

#include <QTemporaryDir>
#include <QtTest>

// Runs a test object inside the real application object, with the per-user data folder in a
// temporary directory so no test ever reads or writes the user's own files.
#define VT_TEST_MAIN(TestObject)                                                                   \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QTemporaryDir dataHome;                                                                    \
        if (!dataHome.isValid())                                                                   \
            return 2;                                                                              \
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        VerantisTerminalApp app(argc, argv);                                                       \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#endif // TESTAPP_H
