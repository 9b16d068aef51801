#pragma once

// Gives a test program a private home: HOME and every XDG folder point into a temporary
// folder made before the application object exists, so the trash, the data directory and
// the settings file of a test never touch the user's own.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace tarvik::test {

// Writes a whole file, making its folder first.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

class PrivateHome
{
public:
    PrivateHome()
    {
        if (!mDir.isValid())
            qFatal("cannot make a temporary home");
        const QString root = mDir.path();
        set("HOME", root + QStringLiteral("/home"));
        set("XDG_DATA_HOME", root + QStringLiteral("/data"));
        set("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
        set("XDG_CACHE_HOME", root + QStringLiteral("/cache"));
        set("XDG_STATE_HOME", root + QStringLiteral("/state"));
        set("XDG_RUNTIME_DIR", root + QStringLiteral("/runtime"));
        QFile::setPermissions(root + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_DATA_DIRS", QByteArray("/usr/local/share:/usr/share"));
        qputenv("XDG_CONFIG_DIRS", QByteArray("/etc/xdg"));
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }

    QString path() const { return mDir.path(); }

private:
    static void set(const char* name, const QString& path)
    {
        QDir().mkpath(path);
        qputenv(name, QFile::encodeName(path));
    }

    QTemporaryDir mDir{QDir::tempPath() + QStringLiteral("/tarvik-test-XXXXXX")};
};

} // namespace tarvik::test

// QTEST_MAIN / QTEST_GUILESS_MAIN, with the private home made first.
#define TARVIK_TEST_MAIN_IMPL(TestObject, AppClass)                                                \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        tarvik::test::PrivateHome home;                                                            \
        AppClass app(argc, argv);                                                                  \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#define TARVIK_TEST_GUILESS_MAIN(TestObject) TARVIK_TEST_MAIN_IMPL(TestObject, QCoreApplication)
#define TARVIK_TEST_WIDGETS_MAIN(TestObject) TARVIK_TEST_MAIN_IMPL(TestObject, QApplication)
