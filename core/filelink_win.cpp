#include "core/filelink.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <windows.h>

namespace tarvik {

namespace {

std::function<void(const QString&)>& linkHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

const wchar_t* native(const QString& path)
{
    return reinterpret_cast<const wchar_t*>(path.utf16());
}

} // namespace

void setHardLinkHookForTest(std::function<void(const QString&)> hook)
{
    linkHook() = std::move(hook);
}

// NTFS has hard links; the rename replaces the marked file's entry in one step.
LinkOutcome hardLinkOver(const QString& path, const FileStamp& stamp, const QString& keptPath,
                         const FileStamp& keptStamp)
{
    const FileStamp now = FileStamp::of(path);
    if (!now.valid || now != stamp)
        return LinkOutcome::ChangedSince;
    if (QFileInfo(path).isSymbolicLink())
        return LinkOutcome::SymbolicLink;
    const QString target = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const QString kept = QDir::toNativeSeparators(QFileInfo(keptPath).absoluteFilePath());
    QString temporary;
    for (int attempt = 0;; ++attempt) {
        temporary = QDir::toNativeSeparators(
            QFileInfo(path).absolutePath() +
            QStringLiteral("/.tarvik-link-%1")
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (CreateHardLinkW(native(temporary), native(kept), nullptr))
            break;
        const DWORD error = GetLastError();
        if (error == ERROR_NOT_SAME_DEVICE)
            return LinkOutcome::OtherFileSystem;
        if (error != ERROR_ALREADY_EXISTS || attempt == 100)
            return LinkOutcome::Refused;
    }
    const auto giveUp = [&](LinkOutcome outcome) {
        DeleteFileW(native(temporary));
        return outcome;
    };
    const FileStamp linked = FileStamp::of(temporary);
    if (!linked.valid || linked.size != keptStamp.size || linked.modifiedNs != keptStamp.modifiedNs)
        return giveUp(LinkOutcome::NoKeptCopy);
    if (linkHook())
        linkHook()(temporary);
    if (FileStamp::of(path) != stamp)
        return giveUp(LinkOutcome::ChangedSince);
    if (!MoveFileExW(native(temporary), native(target), MOVEFILE_REPLACE_EXISTING))
        return giveUp(LinkOutcome::Refused);
    return LinkOutcome::Done;
}

// Block cloning exists only on ReFS; nothing here asks for it.
LinkOutcome shareStorage(const QString&, const FileStamp&, const QString&, const FileStamp&,
                         const StopCheck&)
{
    return LinkOutcome::CannotShare;
}

} // namespace tarvik
