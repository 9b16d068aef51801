#pragma once

#include "scan/markedfileaction.h"
#include "scan/scantypes.h"

#include <QString>
#include <memory>

namespace tarvik {

// One kind of action on the marked files, as MarkedFileRunner carries it out: what its
// confirmation, progress and summary say, the work on one file, and why a file stayed.
class MarkedFileOperation
{
public:
    // What run() gives besides the reasons of the operation's own, counted from 1.
    static constexpr int kDone = 0;
    // The stop broke in before anything was done to the file.
    static constexpr int kNotAttempted = -1;

    virtual ~MarkedFileOperation() = default;

    // The dialogs' title.
    virtual QString title() const = 0;
    // The confirmation's question, given the number of files and their size as text.
    virtual QString question(int files, const QString& bytes) const = 0;
    // What the operation makes sure of before each file: the confirmation's last paragraph.
    virtual QString promise() const = 0;
    virtual QString acceptText() const = 0;
    // Said when in some groups every file is marked, given the number of those groups.
    virtual QString everyCopyNote(int groups) const = 0;
    // The button that lets groups whose every file is marked take part too; empty where they
    // never do.
    virtual QString everyCopyText() const = 0;
    virtual QString progressText() const = 0;
    // The summary's first line: the number of files done and their size as text.
    virtual QString doneText(int files, const QString& bytes) const = 0;

    // One run over the files, in the worker thread: what it keeps from one file for the next
    // (buffers, folders found) lives as long as the run. file() does one file, touches no
    // widget and no member that the GUI thread writes, and gives kDone, kNotAttempted or a
    // reason.
    class Run
    {
    public:
        virtual ~Run() = default;
        virtual int file(const MarkedTrashTask& task) = 0;
    };
    // Made in the worker thread before the first file; stop outlives it and is asked between
    // blocks.
    virtual std::unique_ptr<Run> startRun(const StopCheck& stop) const = 0;
    // The reason for a code from 1 to reasonCount(), as the summary says it.
    virtual int reasonCount() const = 0;
    virtual QString reason(int code) const = 0;
};

} // namespace tarvik
