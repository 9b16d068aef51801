// The desktop's trash as freedesktop.org describes it: a trash under the data folder for files
// of its device, and one at the top of each other mounted file system. A file is only ever
// renamed into a trash on its own file system, never copied: where there is none, it stays.

#include "core/trash.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarvik {

namespace {

constexpr int kNoPlace = -1;
// Names tried for one file before the trash counts as refusing it.
constexpr int kMaxNames = 1000;
constexpr char kInfoSuffix[] = ".trashinfo";

// A trash's two folders, held open so that a file costs no lookup of them.
struct Place
{
    int files = -1;
    int info = -1;
    // Relative to the top of its file system, where Path= is relative; the home trash's is
    // absolute.
    bool relative = false;
};

void closePlace(Place& place)
{
    for (int* fd : {&place.files, &place.info}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

// Opens the folder name in at, made first (0700) where it is missing. A strict folder is not
// reached through a link and is the user's own: others may write where it lies.
int openFolder(int at, const char* name, bool strict)
{
    if (::mkdirat(at, name, 0700) != 0 && errno != EEXIST)
        return -1;
    const int fd =
        ::openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (strict ? O_NOFOLLOW : 0));
    if (fd < 0 || !strict)
        return fd;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_uid != ::getuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// files/ and info/ of the trash folder at fd, which it closes.
Place openTrash(int fd, bool strict, bool relative)
{
    Place place;
    if (fd < 0)
        return place;
    place.files = openFolder(fd, "files", strict);
    place.info = place.files >= 0 ? openFolder(fd, "info", strict) : -1;
    ::close(fd);
    if (place.info < 0)
        closePlace(place);
    place.relative = relative;
    return place;
}

// The trash at the top of a file system other than the home's: $topdir/.Trash/$uid where an
// administrator made $topdir/.Trash a sticky folder (not a link), else $topdir/.Trash-$uid.
Place openTopTrash(const QByteArray& topdir)
{
    const int top = ::open(topdir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return Place();
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    Place place;
    struct stat shared;
    if (::fstatat(top, ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        const int sharedFd =
            ::openat(top, ".Trash", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (sharedFd >= 0) {
            place = openTrash(openFolder(sharedFd, uid.constData(), true), true, true);
            ::close(sharedFd);
        }
    }
    if (place.files < 0)
        place = openTrash(openFolder(top, (".Trash-" + uid).constData(), true), true, true);
    ::close(top);
    return place;
}

// The folder that holds the entry at path, and the entry's name.
QByteArray folderOf(const QByteArray& path, QByteArray* name)
{
    const int slash = path.lastIndexOf('/');
    *name = path.mid(slash + 1);
    return slash > 0 ? path.left(slash) : QByteArrayLiteral("/");
}

// The mount point of device above the canonical folder: the last folder up the path still on
// it.
QByteArray topOf(const QByteArray& folder, dev_t device)
{
    QByteArray top = folder;
    struct stat st;
    if (::stat(top.constData(), &st) != 0 || st.st_dev != device)
        return QByteArray();
    while (top != "/") {
        QByteArray name;
        const QByteArray up = folderOf(top, &name);
        if (::stat(up.constData(), &st) != 0)
            return QByteArray();
        if (st.st_dev != device)
            break;
        top = up;
    }
    return top;
}

// The name of try number n (from 1) for a file called name in the trash: "a.2.txt" for "a.txt",
// shortened where the info file's name would be too long.
QByteArray trashName(const QByteArray& name, int n)
{
    int dot = name.lastIndexOf('.');
    if (dot <= 0)
        dot = name.size();
    QByteArray stem = name.left(dot);
    const QByteArray extension = name.mid(dot);
    const QByteArray number = n > 1 ? "." + QByteArray::number(n) : QByteArray();
    const int room = NAME_MAX - int(sizeof kInfoSuffix - 1) - number.size() - extension.size();
    if (stem.size() > room) {
        // Not inside a character of several bytes.
        int cut = qMax(0, room);
        while (cut > 0 && (uchar(stem.at(cut)) & 0xC0) == 0x80)
            --cut;
        stem.truncate(cut);
    }
    return stem + number + extension;
}

QByteArray deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32];
    if (!::localtime_r(&now, &local) ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
        return QByteArray();
    return QByteArray(text);
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Renames the entry at from to name in the folder at, unless name is taken there.
int renameNoReplace(const char* from, int at, const char* name)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from, at, name, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return -1;
#endif
    // A file system that cannot refuse to replace: the name was reserved by the info file, so
    // only a stray file could be there.
    struct stat st;
    if (::fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(AT_FDCWD, from, at, name);
}

enum class Put { Moved, Refused, Stale };

// The open folder has been deleted since.
bool removed(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_nlink == 0;
}

} // namespace

struct TrashWriter::Places
{
    // The home trash, found at the first file, and the home's device.
    bool homeKnown = false;
    Place home;
    dev_t homeDevice = 0;
    // The trashes at the top of other file systems, found once each.
    std::vector<Place> tops;
    QHash<QByteArray, int> topByMount;
    // Where the files of a folder go, and the folder's path below the top of its file system.
    struct Folder
    {
        int top = kNoPlace;
        QByteArray below;
    };
    QHash<QByteArray, Folder> folders;
    // The next number to try for a name met before, so that many files of one name do not each
    // try every name taken.
    QHash<QByteArray, int> nextTry;

    ~Places() { forget(); }

    void forget()
    {
        closePlace(home);
        homeKnown = false;
        for (Place& place : tops)
            closePlace(place);
        tops.clear();
        topByMount.clear();
        folders.clear();
    }

    void findHome()
    {
        homeKnown = true;
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (!data.isEmpty() && QDir::isAbsolutePath(data) && QDir().mkpath(data)) {
            const QByteArray trash = QFile::encodeName(data) + "/Trash";
            home = openTrash(openFolder(AT_FDCWD, trash.constData(), false), false, false);
        }
        // The data folder's device is the home's, wherever its trash lies: files of that
        // device go there or stay, and never to another trash of the device. Where the data
        // folder cannot be made, the nearest folder above it tells.
        QByteArray nearest = QFile::encodeName(QDir::cleanPath(data));
        struct stat st;
        while (!nearest.isEmpty() && ::stat(nearest.constData(), &st) != 0) {
            QByteArray name;
            nearest = nearest == "/" ? QByteArray() : folderOf(nearest, &name);
        }
        homeDevice = nearest.isEmpty() ? dev_t(-1) : st.st_dev;
    }

    // The trash for the entry at path, on device; null for none. below receives the folder's
    // path to give in Path= where the trash wants it relative.
    Place* placeFor(const QByteArray& path, dev_t device, QByteArray* below)
    {
        if (!homeKnown)
            findHome();
        if (device == homeDevice)
            return home.files >= 0 ? &home : nullptr;
        QByteArray name;
        const QByteArray folder = folderOf(path, &name);
        auto it = folders.find(folder);
        if (it == folders.end())
            it = folders.insert(folder, findFolder(folder, device));
        *below = it->below;
        return it->top == kNoPlace ? nullptr : &tops[size_t(it->top)];
    }

    Folder findFolder(const QByteArray& folder, dev_t device)
    {
        Folder found;
        char* real = ::realpath(folder.constData(), nullptr);
        if (!real)
            return found;
        const QByteArray canonical(real);
        std::free(real);
        const QByteArray mount = topOf(canonical, device);
        if (mount.isEmpty())
            return found;
        auto it = topByMount.find(mount);
        if (it == topByMount.end()) {
            const Place place = openTopTrash(mount);
            int index = kNoPlace;
            if (place.files >= 0) {
                index = int(tops.size());
                tops.push_back(place);
            }
            it = topByMount.insert(mount, index);
        }
        found.top = *it;
        found.below = canonical.mid(mount == "/" ? 1 : mount.size() + 1);
        return found;
    }

    Put put(const Place& place, const QByteArray& path, const QByteArray& name,
            const QByteArray& shownPath)
    {
        const QByteArray info = "[Trash Info]\nPath=" + shownPath.toPercentEncoding("/") +
                                "\nDeletionDate=" + deletionDate() + "\n";
        const auto next = nextTry.constFind(name);
        const int first = next == nextTry.cend() ? 1 : *next;
        for (int n = first; n < first + kMaxNames; ++n) {
            const QByteArray entry = trashName(name, n);
            const QByteArray infoName = entry + kInfoSuffix;
            // The info file first, made only where no other is: it reserves the name.
            const int fd = ::openat(place.info, infoName.constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd < 0)
                return errno == ENOENT ? Put::Stale : Put::Refused;
            const bool written = writeAll(fd, info);
            if (::close(fd) != 0 || !written) {
                ::unlinkat(place.info, infoName.constData(), 0);
                return Put::Refused;
            }
            if (renameNoReplace(path.constData(), place.files, entry.constData()) == 0) {
                if (n > 1)
                    nextTry.insert(name, n + 1);
                return Put::Moved;
            }
            const int error = errno;
            ::unlinkat(place.info, infoName.constData(), 0);
            if (error != EEXIST)
                return error == ENOENT && removed(place.files) ? Put::Stale : Put::Refused;
        }
        return Put::Refused;
    }

    // True only once the entry at path, on device, has left for the trash.
    bool move(const QByteArray& path, dev_t device)
    {
        QByteArray name;
        folderOf(path, &name);
        if (name.isEmpty() || name == "." || name == "..")
            return false;
        // A trash deleted while a run goes on is found, and made, once more.
        for (int attempt = 0; attempt < 2; ++attempt) {
            QByteArray below;
            const Place* place = placeFor(path, device, &below);
            if (!place)
                return false;
            const QByteArray shown = !place->relative  ? path
                                     : below.isEmpty() ? name
                                                       : below + '/' + name;
            switch (put(*place, path, name, shown)) {
            case Put::Moved:
                return true;
            case Put::Refused:
                return false;
            case Put::Stale:
                forget();
                break;
            }
        }
        return false;
    }
};

TrashWriter::TrashWriter() : mPlaces(std::make_unique<Places>()) {}

TrashWriter::~TrashWriter() = default;

namespace {

QByteArray absoluteNative(const QString& path)
{
    return QFile::encodeName(QDir::cleanPath(
        QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path)));
}

} // namespace

bool TrashWriter::move(const QString& path)
{
    struct stat st;
    const QByteArray native = absoluteNative(path);
    return !path.isEmpty() && ::lstat(native.constData(), &st) == 0 &&
           mPlaces->move(native, st.st_dev);
}

bool TrashWriter::moveStamped(const QString& path, const FileStamp& stamp)
{
    return mPlaces->move(absoluteNative(path), dev_t(stamp.entryDevice));
}

bool moveToRecycleBin(const QString& path)
{
    return TrashWriter().move(path);
}

} // namespace tarvik
