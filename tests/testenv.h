#pragma once

// Shared by every test program: a private home, file trees, caught messages and a receiver of
// duplicates. The home is made before the application object exists: HOME and every XDG folder
// point into a temporary folder, so the trash, the data directory and the settings file of a
// test never touch the user's own.

#include "core/translators.h"
#include "scan/duplicateevent.h"
#include "scan/folderwalk.h"
#include "scan/scanengine.h"

#include <QMutex>
#include <QtTest>
#include <cstdio>
#include <functional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tarvik::test {

// Writes a whole file, making its folder first.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Builds a tree below root from lines: "path=content" (a file), "path->target" (a symbolic
// link, target taken literally), "path=>existing" (a hard link).
inline bool makeTree(const QString& root, const QStringList& lines)
{
    for (const QString& line : lines) {
        const int hard = line.indexOf(QLatin1String("=>"));
        const int soft = line.indexOf(QLatin1String("->"));
        const int at = hard > 0 ? hard : soft > 0 ? soft : line.indexOf(QLatin1Char('='));
        const QString path = root + QLatin1Char('/') + line.left(at);
        QDir().mkpath(QFileInfo(path).absolutePath());
        bool ok = false;
        if (hard > 0) {
#ifdef Q_OS_UNIX
            ok = ::link(QFile::encodeName(root + QLatin1Char('/') + line.mid(hard + 2)).constData(),
                        QFile::encodeName(path).constData()) == 0;
#endif
        } else {
            ok = soft > 0 ? QFile::link(line.mid(soft + 2), path)
                          : writeFile(path, line.mid(at + 1).toUtf8());
        }
        if (!ok)
            return false;
    }
    return true;
}

// Records the messages written, from any thread, while it lives.
class MessageCatcher
{
public:
    MessageCatcher()
    {
        for (QStringList& lines : sLines)
            lines.clear();
        mPrevious = qInstallMessageHandler(&MessageCatcher::record);
    }
    ~MessageCatcher() { qInstallMessageHandler(mPrevious); }

    QStringList lines(QtMsgType type) const
    {
        QMutexLocker lock(&sMutex);
        return sLines[type];
    }

private:
    static void record(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        QMutexLocker lock(&sMutex);
        sLines[type] << text;
    }

    inline static QMutex sMutex;
    inline static QStringList sLines[QtInfoMsg + 1];
    QtMessageHandler mPrevious;
};

struct SeenEvent
{
    QUuid groupId;
    QString firstPath;
    QString duplicatePath;
};

// Stands in for the result page: keeps every duplicate posted to it or handed to its sink().
class EventSink : public QObject
{
public:
    QVector<SeenEvent> events;

    DuplicateSink sink()
    {
        return [this](const QUuid& groupId, const QString& firstPath, const QString& path) {
            events.append({groupId, firstPath, path});
            return true;
        };
    }
    bool event(QEvent* e) override
    {
        if (e->type() != DuplicateEvent::eventType)
            return QObject::event(e);
        const auto* d = static_cast<DuplicateEvent*>(e);
        events.append({d->groupId(), d->firstPath(), d->duplicatePath()});
        return true;
    }
};

// One whole scan through the engine on this thread; the duplicates in the order handed out.
inline QVector<SeenEvent> runScan(
    const QStringList& folders, const QString& filter = QString(),
    StopCheck stop = [] { return false; }, ScanProgress* progress = nullptr,
    QHash<QString, DigestEntry>* digests = nullptr, const ScanOptions& options = ScanOptions(),
    ScanCache* cache = nullptr)
{
    EventSink sink;
    QHash<QString, DigestEntry> own;
    {
        ScanEngine engine(stop, sink.sink(), digests ? digests : &own, progress);
        engine.setCache(cache);
        scanFolders(folders, filter, engine, stop, options);
    }
    return sink.events;
}

// A new empty folder for one case.
inline QString freshRoot()
{
    static QTemporaryDir temp;
    static int count = 0;
    const QString root = temp.filePath(QString::number(count++));
    QDir().mkpath(root);
    return root;
}

#ifdef Q_OS_UNIX
// What this process writes to the file descriptor fd (1, 2) while action runs.
inline QByteArray capturedOutput(int fd, const std::function<void()>& action)
{
    QTemporaryFile file;
    if (!file.open())
        return "(cannot capture)";
    std::fflush(nullptr);
    const int saved = ::dup(fd);
    ::dup2(file.handle(), fd);
    action();
    std::fflush(nullptr);
    ::dup2(saved, fd);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}
#endif

class PrivateHome
{
public:
    PrivateHome()
    {
        if (!mDir.isValid())
            qFatal("cannot make a temporary home");
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                                 "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
            const QString path = mDir.filePath(QString::fromLatin1(name));
            QDir().mkpath(path);
            qputenv(name, QFile::encodeName(path));
        }
        QFile::setPermissions(mDir.filePath("XDG_RUNTIME_DIR"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_DATA_DIRS", QByteArray("/usr/local/share:/usr/share"));
        qputenv("XDG_CONFIG_DIRS", QByteArray("/etc/xdg"));
        // English texts and numbers whatever the desktop's language, here and in the
        // programs a test starts.
        qputenv("LC_ALL", QByteArray("C.UTF-8"));
        qunsetenv("LANGUAGE");
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }

private:
    QTemporaryDir mDir{QDir::tempPath() + QStringLiteral("/tarvik-test-XXXXXX")};
};

} // namespace tarvik::test

// QTEST_MAIN / QTEST_GUILESS_MAIN, with the private home made first.
#define TARVIK_TEST_MAIN_IMPL(TestObject, AppClass)                                                \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        tarvik::test::PrivateHome home;                                                            \
        AppClass app(argc, argv);                                                                  \
        tarvik::installTranslators(QLocale::system());                                             \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#define TARVIK_TEST_GUILESS_MAIN(TestObject) TARVIK_TEST_MAIN_IMPL(TestObject, QCoreApplication)
#define TARVIK_TEST_WIDGETS_MAIN(TestObject) TARVIK_TEST_MAIN_IMPL(TestObject, QApplication)
