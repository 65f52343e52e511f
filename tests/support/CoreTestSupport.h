#pragma once

#include "settings/Settings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <QTemporaryDir>
#include <QTest>
#include <utility>

// Points HOME (and with it the settings file) at a fresh scratch folder for
// as long as it lives.
class ScratchHome {
public:
    ScratchHome() : m_old(qgetenv("HOME")) { qputenv("HOME", m_dir.path().toLocal8Bit()); }
    ~ScratchHome() { qputenv("HOME", m_old); }
    QString path() const { return m_dir.path(); }

private:
    QByteArray m_old;
    QTemporaryDir m_dir;
};

// Empties the ten process-wide settings values, as at the process start.
// The settings values of the test process, lent to the windows under test
// as the program's start lends its own.
inline Settings Values;

void clearSettingsValues();

// The value of a key of the program's section in the settings file.
QString storedSetting(const QString& key);

// The program's section as a save writes it (keys padded to 16, CR LF line
// ends), entries in the order given; extra is appended as it stands.
QByteArray settingsText(const QList<std::pair<QString, QString>>& entries, const QByteArray& extra = {});

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& content);

// Keeps a stand-in object until the application object goes.
QObject* keepStandIn(QObject* standIn);

// Finds a child by object name. A missing one fails the current test (not
// the whole run): the test goes on with a stand-in that nothing shows, so
// its later checks fail on their own instead of crashing.
template <class T> T* child(QObject* parent, const char* name) {
    if (T* found = parent->findChild<T*>(QString::fromUtf8(name)))
        return found;
    QTest::qFail(qPrintable(QStringLiteral("control %1 not found").arg(QString::fromUtf8(name))), __FILE__,
                 __LINE__);
    return static_cast<T*>(keepStandIn(new T));
}

// Waits (a short while at most) until the threads that the application's
// end stopped, the thread pool's and the database engine's, have left the
// process: the sanitizers' leak check at exit stops every thread, and one
// caught half gone brings the check down with it. Does nothing in a build
// without sanitizers.
void waitForEndingThreads();

// Runs a test object as a test program's main does: the application object
// of type App, set up by setUp(app), runs it; then the ending threads are
// waited for. For mains that do more first (a child mode, say).
template <class App, class TestObject, class SetUp> int runTestObject(int argc, char** argv, SetUp setUp) {
    int status = 0;
    {
        App app(argc, argv);
        setUp(app);
        TestObject tc;
        status = QTest::qExec(&tc, argc, argv);
    }
    waitForEndingThreads();
    return status;
}

// A test program's main: runTestObject() with the test's source path.
#define ORVANTO_TEST_MAIN_WITH(App, setUp, TestObject)                                                       \
    int main(int argc, char** argv) {                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return runTestObject<App, TestObject>(argc, argv, setUp);                                            \
    }

// Like QTEST_GUILESS_MAIN, for the tests of the logic and the database
// client: no widgets are linked, and the process is named and set up as
// the program's.
#define ORVANTO_CORE_TEST_MAIN(TestObject)                                                                   \
    ORVANTO_TEST_MAIN_WITH(QCoreApplication, setUpOrvantoProcess, TestObject)
