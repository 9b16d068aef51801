#include "scan/folderwalk.h"

#include "scan/inputfile.h"
#include "scan/scanengine.h"

#include <QDirIterator>
#include <QFile>
#include <atomic>
#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvik {

namespace {

std::atomic<FolderHook> gFolderHook{nullptr};

void aboutToList(const QString& folder)
{
    if (const FolderHook hook = gFolderHook.load(std::memory_order_relaxed))
        hook(folder);
}

#ifdef Q_OS_UNIX

// Lists one folder and those below it, in the directory iterator's order: every entry in the
// order the system gives them, a folder's contents right where the folder is met. Each folder
// is read whole and closed before its subfolders are entered, so depth costs no descriptors;
// its files are looked up relative to it, which spares the system a walk down the whole path.
class Lister
{
public:
    Lister(const WalkRules& rules, int rootSize, const StopCheck& stop,
           const std::function<void(const ListedFile&)>& visit)
        : mRules(rules), mRootSize(rootSize), mStop(stop), mVisit(visit)
    {
    }

    bool list(const QByteArray& folder)
    {
        struct Entry
        {
            size_t name;
            size_t nameSize;
            bool folder;
            qint64 size;
            quint64 device;
            quint64 inode;
            qint64 mtimeNs;
            qint64 ctimeNs;
        };
        std::vector<Entry> entries;
        std::string names;
        {
            aboutToList(QFile::decodeName(folder));
            // What lies below the chosen folder, for patterns with a "/".
            const QString below =
                mRules.exclude.usesPaths() ? QFile::decodeName(folder.mid(mRootSize)) : QString();
            const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0)
                return !mStop();
            DIR* dir = ::fdopendir(fd);
            if (!dir) {
                ::close(fd);
                return !mStop();
            }
            while (const dirent* entry = ::readdir(dir)) {
                // A folder of millions of names still stops within a moment.
                if ((entries.size() & 1023) == 1023 && mStop()) {
                    ::closedir(dir);
                    return false;
                }
                const char* name = entry->d_name;
                // "." and "..", and unless asked for, every hidden entry.
                if (name[0] == '.' && (!mRules.options.hidden || name[1] == '\0' ||
                                       (name[1] == '.' && name[2] == '\0')))
                    continue;
                const size_t size = std::strlen(name);
                if (!sameAsText(name, size))
                    continue;
                unsigned char type = entry->d_type;
                struct stat st;
                if (type == DT_UNKNOWN) {
                    if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                        continue;
                    type = S_ISDIR(st.st_mode)   ? DT_DIR
                           : S_ISREG(st.st_mode) ? DT_REG
                           : S_ISLNK(st.st_mode) ? DT_LNK
                                                 : DT_UNKNOWN;
                }
                Entry e{names.size(), size, type == DT_DIR, 0, 0, 0, 0, 0};
                if (!e.folder && ((type != DT_REG && type != DT_LNK) || !nameMatches(name, size)))
                    continue;
                if (excluded(below, name, size, e.folder))
                    continue;
                if (!e.folder) {
                    // Links are followed to what they name, which has to be a regular file.
                    if (::fstatat(fd, name, &st, 0) != 0 || !S_ISREG(st.st_mode) ||
                        !mRules.options.sizeAllowed(qint64(st.st_size)))
                        continue;
                    e.size = qint64(st.st_size);
                    e.device = quint64(st.st_dev);
                    e.inode = quint64(st.st_ino);
                    e.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
                    e.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
                }
                names.append(name, size + 1);
                entries.push_back(e);
            }
            ::closedir(dir);
        }
        ListedFile file;
        file.folder = &folder;
        for (const Entry& e : entries) {
            if (mStop())
                return false;
            if (e.folder) {
                QByteArray sub = folder;
                sub.append(names.data() + e.name, int(e.nameSize));
                sub.append('/');
                if (!list(sub))
                    return false;
                continue;
            }
            file.name = names.data() + e.name;
            file.nameSize = e.nameSize;
            file.size = e.size;
            file.device = e.device;
            file.inode = e.inode;
            file.mtimeNs = e.mtimeNs;
            file.ctimeNs = e.ctimeNs;
            mVisit(file);
        }
        return !mStop();
    }

private:
    // The toolkit passes over names that do not survive its conversion to text and back.
    static bool sameAsText(const char* name, size_t size)
    {
        for (size_t i = 0; i < size; ++i) {
            if (static_cast<unsigned char>(name[i]) >= 0x80) {
                const QByteArray raw = QByteArray::fromRawData(name, int(size));
                return QFile::decodeName(raw).toLocal8Bit() == raw;
            }
        }
        return true;
    }

    static QString textOf(const char* name, size_t size)
    {
        return QFile::decodeName(QByteArray::fromRawData(name, int(size)));
    }

    bool nameMatches(const char* name, size_t size) const
    {
        return mRules.names.matchesAll() || mRules.names.matches(textOf(name, size));
    }

    bool excluded(const QString& below, const char* name, size_t size, bool folder) const
    {
        if (mRules.exclude.isEmpty())
            return false;
        const QString text = textOf(name, size);
        return mRules.exclude.excludes(text, below + text, folder);
    }

    const WalkRules& mRules;
    const int mRootSize;
    const StopCheck& mStop;
    const std::function<void(const ListedFile&)>& mVisit;
};

bool listFolder(const QString& folder, const WalkRules& rules, const StopCheck& stop,
                const std::function<void(const ListedFile&)>& visit)
{
    // An empty entry would walk the current directory, which nobody chose.
    if (folder.isEmpty() || rules.listsNothing())
        return !stop();
    QByteArray native = QFile::encodeName(folder);
    if (!native.endsWith('/'))
        native.append('/');
    return Lister(rules, native.size(), stop, visit).list(native);
}

#endif

bool listPortable(const QString& folder, const QString& below, const WalkRules& rules,
                  const StopCheck& stop, const std::function<void(const QString&)>& visit)
{
    aboutToList(folder);
    QDir::Filters filters = QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot;
    if (rules.options.hidden)
        filters |= QDir::Hidden;
    QDirIterator it(folder, filters);
    while (it.hasNext()) {
        if (stop())
            return false;
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = it.fileName();
        const bool isFolder = info.isDir();
        // Links to folders are not followed.
        if ((isFolder && info.isSymLink()) || (!isFolder && !rules.names.matches(name)) ||
            (!rules.exclude.isEmpty() && rules.exclude.excludes(name, below + name, isFolder)))
            continue;
        if (isFolder) {
            if (!listPortable(path, below + name + QLatin1Char('/'), rules, stop, visit))
                return false;
        } else if (rules.options.sizeAllowed(info.size())) {
            visit(path);
        }
    }
    return !stop();
}

} // namespace

bool walkFolderPortable(const QString& folder, const WalkRules& rules, const StopCheck& stop,
                        const std::function<void(const QString&)>& visit)
{
    // An empty entry would walk the current directory, which nobody chose.
    if (folder.isEmpty() || rules.listsNothing())
        return !stop();
    return listPortable(folder, QString(), rules, stop, visit);
}

bool walkFolder(const QString& folder, const WalkRules& rules, const StopCheck& stop,
                const std::function<void(const QString&)>& visit)
{
#ifdef Q_OS_UNIX
    QByteArray path;
    return listFolder(folder, rules, stop, [&](const ListedFile& file) {
        path = *file.folder;
        path.append(file.name, int(file.nameSize));
        visit(QFile::decodeName(path));
    });
#else
    return walkFolderPortable(folder, rules, stop, visit);
#endif
}

bool walkFolderInto(const QString& folder, const WalkRules& rules, const StopCheck& stop,
                    ScanEngine& engine)
{
#ifdef Q_OS_UNIX
    return listFolder(folder, rules, stop,
                      [&engine](const ListedFile& file) { engine.addListed(file); });
#else
    return walkFolder(folder, rules, stop,
                      [&engine](const QString& path) { engine.addFile(path); });
#endif
}

void scanFolders(const QStringList& folders, const QString& filter, ScanEngine& engine,
                 const StopCheck& stop, const ScanOptions& options)
{
    const WalkRules rules(filter, options);
    for (const QString& folder : folders) {
        if (!walkFolderInto(folder, rules, stop, engine))
            return;
    }
    engine.finish();
}

void setFolderHook(FolderHook hook)
{
    gFolderHook = hook;
}

} // namespace tarvik
