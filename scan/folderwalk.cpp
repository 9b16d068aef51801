#include "scan/folderwalk.h"

#include "scan/inputfile.h"
#include "scan/scanengine.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvik {

NameFilter::NameFilter(const QString& text) : mActive(!text.isEmpty())
{
    if (!mActive)
        return;
    mPatterns = text.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
    const QRegExp leadingBlanks(QStringLiteral("^\\s+"), Qt::CaseSensitive, QRegExp::RegExp);
    for (QString& part : mPatterns)
        part.replace(leadingBlanks, QString());
    mPatterns.erase(
        std::remove_if(mPatterns.begin(), mPatterns.end(),
                       [](const QString& pattern) {
                           return !QRegularExpression(
                                       QRegularExpression::wildcardToRegularExpression(pattern))
                                       .isValid();
                       }),
        mPatterns.end());
    if (!mPatterns.contains(QStringLiteral("*")))
        for (const QString& pattern : qAsConst(mPatterns))
            mMatchers.append(
                QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                   QRegularExpression::CaseInsensitiveOption));
}

bool NameFilter::matches(const QString& name) const
{
    if (mMatchers.isEmpty())
        return !listsNothing();
    for (const QRegularExpression& matcher : mMatchers)
        if (matcher.match(name).hasMatch())
            return true;
    return false;
}

namespace {

#ifdef Q_OS_UNIX

// Lists one folder and those below it, in the directory iterator's order: every entry in the
// order the system gives them, a folder's contents right where the folder is met. Each folder
// is read whole and closed before its subfolders are entered, so depth costs no descriptors;
// its files are looked up relative to it, which spares the system a walk down the whole path.
class Lister
{
public:
    Lister(const NameFilter& filter, const StopCheck& stop,
           const std::function<void(const ListedFile&)>& visit)
        : mFilter(filter), mStop(stop), mVisit(visit)
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
        };
        std::vector<Entry> entries;
        std::string names;
        {
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
                // Hidden entries, and with them "." and "..", are not listed.
                if (name[0] == '.')
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
                Entry e{names.size(), size, type == DT_DIR, 0, 0, 0};
                if (!e.folder) {
                    // Links are followed to what they name, which has to be a regular file.
                    if ((type != DT_REG && type != DT_LNK) || !nameMatches(name, size) ||
                        ::fstatat(fd, name, &st, 0) != 0 || !S_ISREG(st.st_mode))
                        continue;
                    e.size = qint64(st.st_size);
                    e.device = quint64(st.st_dev);
                    e.inode = quint64(st.st_ino);
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

    bool nameMatches(const char* name, size_t size) const
    {
        return mFilter.matchesAll() ||
               mFilter.matches(QFile::decodeName(QByteArray::fromRawData(name, int(size))));
    }

    const NameFilter& mFilter;
    const StopCheck& mStop;
    const std::function<void(const ListedFile&)>& mVisit;
};

bool listFolder(const QString& folder, const NameFilter& filter, const StopCheck& stop,
                const std::function<void(const ListedFile&)>& visit)
{
    // An empty entry would walk the current directory, which nobody chose.
    if (folder.isEmpty() || filter.listsNothing())
        return !stop();
    QByteArray native = QFile::encodeName(folder);
    if (!native.endsWith('/'))
        native.append('/');
    return Lister(filter, stop, visit).list(native);
}

#endif

} // namespace

bool walkFolder(const QString& folder, const NameFilter& filter, const StopCheck& stop,
                const std::function<void(const QString&)>& visit)
{
#ifdef Q_OS_UNIX
    QByteArray path;
    return listFolder(folder, filter, stop, [&](const ListedFile& file) {
        path = *file.folder;
        path.append(file.name, int(file.nameSize));
        visit(QFile::decodeName(path));
    });
#else
    // An empty entry would walk the current directory, which nobody chose.
    if (folder.isEmpty() || filter.listsNothing())
        return !stop();
    QDirIterator it(folder, filter.patterns(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (stop())
            return false;
        visit(it.next());
    }
    return !stop();
#endif
}

bool walkFolderInto(const QString& folder, const NameFilter& filter, const StopCheck& stop,
                    ScanEngine& engine)
{
#ifdef Q_OS_UNIX
    return listFolder(folder, filter, stop,
                      [&engine](const ListedFile& file) { engine.addListed(file); });
#else
    return walkFolder(folder, filter, stop,
                      [&engine](const QString& path) { engine.addFile(path); });
#endif
}

void scanFolders(const QStringList& folders, const QString& filter, ScanEngine& engine,
                 const StopCheck& stop)
{
    const NameFilter names(filter);
    for (const QString& folder : folders) {
        if (!walkFolderInto(folder, names, stop, engine))
            return;
    }
    engine.finish();
}

} // namespace tarvik
