// Results that leave the window: the three formats, a save that fails, tarvik-scan, and the
// result page's Save Results.

#include "scan/resultexport.h"
#include "scanreference.h"
#include "tst_ui_support.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace tarvik;
using namespace tarvik::test;

Q_DECLARE_METATYPE(tarvik::ExportFormat)

namespace {

// RFC 4180, as a spreadsheet reads it.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows{{QString()}};
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == '"' && quoted && text.midRef(i + 1, 1) == "\"")
            rows.last().last() += text.at(++i);
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            rows.last().append(QString());
        else if (c == '\r' && !quoted && text.midRef(i + 1, 1) == "\n")
            rows.append({QString()}), ++i;
        else
            rows.last().last() += c;
    }
    rows.removeLast();
    return rows;
}

// One row per file as CSV has them (group, md5, size, path, modified), from any format; text
// gives paths only, its groups numbered in order.
QList<QStringList> readBack(ExportFormat format, const QByteArray& bytes)
{
    QList<QStringList> rows;
    if (format == ExportFormat::Csv) {
        rows = parseCsv(QString::fromUtf8(bytes));
        if (rows.value(0) != QStringList{"group", "md5", "size", "path", "modified"})
            return {};
        rows.removeFirst();
    } else if (format == ExportFormat::Json) {
        for (const QJsonValue g : QJsonDocument::fromJson(bytes)["groups"].toArray()) {
            const QString size = g["size"].isNull() ? "" : QString::number(g["size"].toDouble());
            for (const QJsonValue f : g["files"].toArray())
                rows << QStringList{QString::number(g["number"].toInt()), g["md5"].toString(), size,
                                    f["path"].toString(), f["modified"].toString()};
        }
    } else {
        const QStringList groups = QString::fromUtf8(bytes).split("\n\n", Qt::SkipEmptyParts);
        for (int g = 0; g < groups.size(); ++g)
            for (const QString& path : groups[g].split('\n', Qt::SkipEmptyParts))
                rows << QStringList{QString::number(g), "", "", path, ""};
    }
    return rows;
}

QList<QStringList> rowsOf(const QVector<ExportedGroup>& groups, bool pathsOnly)
{
    QList<QStringList> rows;
    for (int g = 0; g < groups.size(); ++g) {
        const ExportedGroup& group = groups[g];
        for (const ExportedFile& f : group.files)
            rows << (pathsOnly ? QStringList{QString::number(g), "", "", f.path, ""}
                               : QStringList{QString::number(group.number), group.md5,
                                             group.size < 0 ? "" : QString::number(group.size),
                                             f.path, f.modified.toString(Qt::ISODate)});
    }
    return rows;
}

// Each group's paths relative to root, sorted, the groups sorted; as groupsOf of the events.
QString groupsOf(const QList<QStringList>& rows, const QString& root)
{
    QMap<QString, QStringList> groups;
    for (const QStringList& row : rows)
        groups[row.value(0)] << fromRoot(root, row.value(3));
    QStringList out;
    for (QStringList paths : groups)
        out << (paths.sort(), paths.join(' '));
    out.sort();
    return out.join('|');
}

QVector<ExportedGroup> oddGroups()
{
    const QDateTime t = QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC);
    ExportedGroup odd{0, "9f9f90dbe3e5ee1218c86b8839db1995", 6, {}};
    for (const char* path : {"/d/plain.txt", "/d/comma, and \"quotes\".csv", "/d/ünïcødé 日本 😀",
                             " lead/back\\slash\ttab"})
        odd.files.append({QString::fromUtf8(path), t.addSecs(odd.files.size())});
    // Files gone when the group was gathered.
    const ExportedGroup gone{3, "", -1, {{"/d/gone", {}}, {"/d/gone too", {}}}};
    // Enough to pass through the writer's buffer more than once.
    ExportedGroup bulk{4, "d41d8cd98f00b204e9800998ecf8427e", 0, {}};
    for (int i = 0; i < 4000; ++i)
        bulk.files.append({QStringLiteral("/bulk/%1/").arg(i) + QString(200, 'x'), t});
    return {odd, gone, bulk};
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QString md5Of(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

int runScanTool(const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr)
{
    QProcess p;
    p.start(TARVIK_SCAN, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitCode();
}

// While it lives, a file cannot grow beyond bytes: a full disk, as a writer sees it.
struct FileSizeLimit
{
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit low{bytes ? bytes : saved.rlim_cur, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &low);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

// What each entry of root is: a file with its content, a link with its target, a pipe, a
// folder or a device.
QMap<QString, QString> entriesOf(const QString& root)
{
    QMap<QString, QString> entries;
    for (const QFileInfo& info : QDir(root).entryInfoList(QDir::AllEntries | QDir::System |
                                                          QDir::Hidden | QDir::NoDotAndDotDot)) {
        struct stat st;
        ::lstat(QFile::encodeName(info.filePath()).constData(), &st);
        entries[info.fileName()] = S_ISLNK(st.st_mode)    ? "link to " + info.symLinkTarget()
                                   : S_ISREG(st.st_mode)  ? "file " + contentOf(info.filePath())
                                   : S_ISFIFO(st.st_mode) ? "pipe"
                                   : S_ISDIR(st.st_mode)  ? "folder"
                                   : S_ISCHR(st.st_mode)  ? "device"
                                                          : "other";
    }
    return entries;
}

} // namespace

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initUiTest(); }
    void formatsKeepOddNames_data();
    void formatsKeepOddNames();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void outputGoesIntoWhatItNames_data();
    void outputGoesIntoWhatItNames();
    void scanToolRejectsBadInput_data();
    void scanToolRejectsBadInput();
    void scanToolFindsTheEngineGroups();
    void scanToolStopsOnSignal_data();
    void scanToolStopsOnSignal();
    void pageSavesWhatTheTreeHolds();
};

void ExportTest::formatsKeepOddNames_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::newRow("text") << ExportFormat::Text;
    QTest::newRow("csv") << ExportFormat::Csv;
    QTest::newRow("json") << ExportFormat::Json;
}

void ExportTest::formatsKeepOddNames()
{
    QFETCH(ExportFormat, format);
    QVector<ExportedGroup> groups = oddGroups();
    // What text cannot carry.
    const bool text = format == ExportFormat::Text;
    if (!text)
        groups[0].files << ExportedFile{"/d/new\nline\r\nand\rreturn", QDateTime()}
                        << ExportedFile{"/d/control\x01\x1f", QDateTime()};
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(writeResults(&buffer, groups, format));
    QCOMPARE(readBack(format, buffer.data()), rowsOf(groups, text));
}

void ExportTest::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("fileSizeLimit");
    QTest::newRow("a folder of that name") << "dir" << 0;
    QTest::newRow("in a missing folder") << "missing/out.csv" << 0;
    QTest::newRow("disk full") << "old.csv" << 65536;
    QTest::newRow("read-only folder") << "ro/old.csv" << 0;
}

void ExportTest::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    QFETCH(int, fileSizeLimit);
    const QString root = freshRoot();
    QVERIFY(QDir(root).mkdir("dir") && writeFile(root + "/old.csv", "old") &&
            writeFile(root + "/ro/old.csv", "old"));
    QFile::setPermissions(root + "/ro", QFile::ReadOwner | QFile::ExeOwner);
    if (target.startsWith("ro/") && QFileInfo(root + "/ro").isWritable())
        QSKIP("a folder without write permission is writable here (root)");
    const QStringList before = QDir(root).entryList(QDir::AllEntries, QDir::Name);
    QString error;
    bool saved = true;
    {
        const FileSizeLimit limit{rlim_t(fileSizeLimit)};
        saved = saveResults(root + '/' + target, oddGroups(), ExportFormat::Csv, &error);
    }
    QFile::setPermissions(root + "/ro", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved && !error.isEmpty());
    QCOMPARE(QDir(root).entryList(QDir::AllEntries, QDir::Name), before);
    QCOMPARE(QDir(root + "/ro").entryList(QDir::Files), QStringList("old.csv"));
    QVERIFY(QFileInfo(root + "/dir").isDir());
    QCOMPARE(contentOf(root + "/old.csv") + contentOf(root + "/ro/old.csv"), "oldold");
}

void ExportTest::outputGoesIntoWhatItNames_data()
{
    QTest::addColumn<bool>("tool");
    QTest::addColumn<QString>("target");
    // The entry whose content becomes the results, "pipe" for the pipe's reader, "-" for
    // standard output, none where the target is refused; "device" where the bytes are lost.
    QTest::addColumn<QString>("receiver");
    const QStringList rows = {"old.csv old.csv", "new.csv new.csv", "fifo pipe",
                              "to-old old.csv",  "chain old.csv",   "to-fifo pipe",
                              "to-nothing",      "folder",          "- -",
                              "null device"};
    for (const bool tool : {false, true})
        for (const QString& row : rows)
            QTest::addRow("%s to %s", tool ? "tarvik-scan" : "saveResults",
                          qPrintable(row.section(' ', 0, 0)))
                << tool << row.section(' ', 0, 0) << row.section(' ', 1, 1);
}

// Only a plain file is replaced; a pipe or device is written into, a link followed and kept,
// a link to nothing and a folder refused. Nothing else in the folder changes.
void ExportTest::outputGoesIntoWhatItNames()
{
    QFETCH(bool, tool);
    QFETCH(QString, target);
    QFETCH(QString, receiver);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"old.csv=old", "folder/x=x", "to-old->old.csv", "chain->to-old",
                            "to-fifo->fifo", "to-nothing->nothing"}));
    QCOMPARE(::mkfifo(QFile::encodeName(root + "/fifo").constData(), 0600), 0);
    // A device node made here stands in for /dev/null, which no test touches.
    if (receiver == "device" &&
        (::mknod(QFile::encodeName(root + "/null").constData(), S_IFCHR | 0600, makedev(1, 3)) ||
         !QFile(root + "/null").open(QIODevice::WriteOnly)))
        QSKIP("cannot make a device node here (needs root, a file system allowing devices)");
    const QString scanned = freshRoot();
    QVERIFY(makeTree(scanned, {"a=same", "b/c=same"}));
    const QStringList args = {"--format", "csv", scanned};

    QMap<QString, QString> entries = entriesOf(root);
    const QString path = target == "-" ? target : root + '/' + target;
    QByteArray expected, out;
    QBuffer buffer(&expected);
    if (tool)
        QCOMPARE(runScanTool(args, &expected), 0);
    else
        QVERIFY(buffer.open(QIODevice::WriteOnly) &&
                writeResults(&buffer, oddGroups(), ExportFormat::Csv));
    // Another program reads the pipe; one replaced by a file would keep it waiting.
    QProcess reader;
    const QString read = freshRoot() + "/read";
    reader.setStandardOutputFile(read);
    if (receiver == "pipe")
        reader.start("timeout", {"20", "cat", root + "/fifo"});
    bool saved = false;
    QString error;
    if (tool) {
        QByteArray err;
        saved = runScanTool(QStringList{"--output", path} + args, &out, &err) == 0;
        error = QString::fromLocal8Bit(err);
        QVERIFY2(saved || error.startsWith("tarvik-scan: cannot write '" + path + "': "),
                 qPrintable(error));
    } else {
        out = capturedOutput(
            1, [&] { saved = saveResults(path, oddGroups(), ExportFormat::Csv, &error); });
    }
    QVERIFY2(saved == !receiver.isEmpty(), qPrintable(error));
    QVERIFY(!error.isEmpty() || saved);
    QCOMPARE(out, receiver == "-" ? expected : QByteArray());
    if (receiver == "pipe") {
        QVERIFY(reader.waitForFinished(30000));
        QCOMPARE(contentOf(read), expected);
    }
    if (receiver.endsWith(".csv"))
        entries[receiver] = "file " + expected;
    QCOMPARE(entriesOf(root), entries);
}

void ExportTest::scanToolRejectsBadInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--bogus", "%"} << 2 << "Unknown option 'bogus'";
    QTest::newRow("no value") << QStringList{"--format"} << 2 << "Missing value after '--format'";
    QTest::newRow("unknown format")
        << QStringList{"--format", "xml", "%"} << 2 << "unknown format 'xml'";
    QTest::newRow("no folder") << QStringList{"--format", "csv"} << 2 << "no folder given";
    QTest::newRow("missing folder")
        << QStringList{"%", "%/nope"} << 3 << "no such folder: '%/nope'";
    QTest::newRow("not a folder") << QStringList{"%/file"} << 3 << "not a folder: '%/file'";
    QTest::newRow("output is a folder")
        << QStringList{"--output", "%", "%"} << 1 << "cannot write '%'";
    QTest::newRow("output in missing folder")
        << QStringList{"--output", "%/no/out.txt", "%"} << 1 << "cannot write '%/no/out.txt'";
    QTest::newRow("bad size") << QStringList{"--min-size", "1.5", "%"} << 2
                              << "--min-size: '1.5' is not a size";
    QTest::newRow("empty size") << QStringList{"--max-size", " ", "%"} << 2
                                << "--max-size: ' ' is not a size";
    QTest::newRow("maximum below minimum")
        << QStringList{"--min-size", "2k", "--max-size", "2047", "%"} << 2
        << "--max-size: below --min-size";
    QTest::newRow("no pattern") << QStringList{"--exclude", "a", "--exclude", " ,", "%"} << 2
                                << "--exclude: no pattern in ' ,'";
    QTest::newRow("bad pattern") << QStringList{"--exclude", "a, [z-a]", "%"} << 2
                                 << "--exclude: '[z-a]' cannot be used as a pattern";
}

void ExportTest::scanToolRejectsBadInput()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    const QString root = freshRoot();
    QVERIFY(writeFile(root + "/file", "x"));
    QByteArray out, err;
    QCOMPARE(runScanTool(args.replaceInStrings("%", root), &out, &err), code);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.endsWith('\n') && err.count('\n') == 1, err.constData());
    QVERIFY2(QString::fromLocal8Bit(err).contains(message.replace("%", root)), err.constData());
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList("file"));
}

void ExportTest::scanToolFindsTheEngineGroups()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a/one.txt=same", "a/b/comma, \"quoted\".TXT=same", "ü 日本.txt=same",
                            "a/other.txt=other", "b/other.jpg=other", "b/lone.txt=lone",
                            "empty1=", "a/empty2=", ".hidden/x.txt=same"}));
    const QStringList folders = {root + "/a", root + "/b", root};
    ScanOptions shaped;
    shaped.minSize = 1;
    shaped.maxSize = 1024;
    shaped.exclude = QStringList{"b", "*.jpg"};
    shaped.hidden = true;
    const QStringList flags{"--min-size", "1",         "--max-size", "1K",      "--exclude",
                            "b",          "--exclude", " *.jpg,",    "--hidden"};
    for (int round = 0; round < 3; ++round) {
        const QString filter = round == 1 ? QStringLiteral("*.txt, *.JPG") : QString();
        const ScanOptions options = round == 2 ? shaped : ScanOptions();
        // The engine's own options are checked against the reference in tst_scan.
        const QString expected = groupsOf(
            round < 2 ? referenceScan(folders, filter)
                      : runScan(
                            folders, filter, [] { return false; }, nullptr, nullptr, options),
            root);
        const QStringList args =
            QStringList{"--filter", filter} + (round == 2 ? flags : QStringList()) + folders;
        QByteArray text;
        QCOMPARE(runScanTool(args, &text), 0);
        QCOMPARE(groupsOf(readBack(ExportFormat::Text, text), root), expected);
        const QString json = root + "/out.json";
        QCOMPARE(runScanTool(QStringList{"--format", "json", "--output", json} + args), 0);
        const QList<QStringList> rows = readBack(ExportFormat::Json, contentOf(json));
        QCOMPARE(groupsOf(rows, root), expected);
        for (const QStringList& row : rows) {
            QCOMPARE(row[1], md5Of(contentOf(row[3])));
            QCOMPARE(row[2].toLongLong(), contentOf(row[3]).size());
        }
        QVERIFY(QFile::remove(json));
    }
    QByteArray version;
    QCOMPARE(runScanTool({"--version"}, &version), 0);
    QCOMPARE(version, "tarvik-scan " TARVIK_VERSION "\n");
}

void ExportTest::scanToolStopsOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

void ExportTest::scanToolStopsOnSignal()
{
    QFETCH(int, signal);
    // Two huge sparse files of one size: comparing them takes long, and no disk.
    const QString root = freshRoot();
    QVERIFY(writeFile(root + "/out.csv", "old"));
    for (const char* name : {"/scan/a", "/scan/b"})
        QVERIFY(writeFile(root + name, "") && QFile::resize(root + name, qint64(64) << 30));
    QProcess p;
    p.start(TARVIK_SCAN, {"--output", root + "/out.csv", root + "/scan"});
    QVERIFY(p.waitForStarted());
    // Sent once the handler is in place: the signal's bit among those caught.
    const QString status = QStringLiteral("/proc/%1/status").arg(p.processId());
    for (bool caught = false; !caught && p.state() == QProcess::Running; QTest::qWait(10)) {
        for (const QByteArray& line : contentOf(status).split('\n'))
            if (line.startsWith("SigCgt:"))
                caught = line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ull << (signal - 1));
    }
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 128 + signal);
    QVERIFY(p.readAllStandardOutput().isEmpty() && p.readAllStandardError().isEmpty());
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"out.csv", "scan"}));
    QCOMPARE(contentOf(root + "/out.csv"), "old");
}

void ExportTest::pageSavesWhatTheTreeHolds()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"s/a1=alpha", "s/a2=alpha", "s/a3=alpha", "s/b1=bb", "s/b2=bb"}));
    Window w;
    auto* save = w.result->findChild<QToolButton*>("SaveResultsButton");
    QVERIFY(save && save->toolTip() == "Save Results");
    w.scan({root + "/s"});
    QVERIFY(!save->isEnabled());
    QVERIFY(w.waitForScan() && save->isEnabled());
    // A trashed row is gone from the file too.
    w.tree->setCurrentItem(w.fileItem(root + "/s/a2"));
    QTest::keyClick(w.tree, Qt::Key_Delete);
    QVERIFY(!w.fileItem(root + "/s/a2"));

    answerFolderDialog(root + "/saved.csv");
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(root + "/saved.csv"), 60000);
    const QList<QStringList> rows = readBack(ExportFormat::Csv, contentOf(root + "/saved.csv"));
    QCOMPARE(groupsOf(rows, root), "s/a1 s/a3|s/b1 s/b2");
    for (const QStringList& row : rows) {
        const QTreeWidgetItem* group = w.tree->topLevelItem(row[0].toInt());
        QVERIFY(group && w.fileItem(row[3])->parent() == group);
        QCOMPARE(row[1], md5Of(contentOf(row[3])));
        QCOMPARE(row[2].toLongLong(), contentOf(row[3]).size());
        QCOMPARE(row[4], QFileInfo(row[3]).lastModified().toUTC().toString(Qt::ISODate));
    }

    auto* status = w.result->findChild<QLabel*>(QStringLiteral("StatusLabel"));
    QTRY_VERIFY(status->text().endsWith("saved to " + root + "/saved.csv"));

    // A file that cannot be written is told, not passed over; the dialog opens where the last
    // save went.
    QString told;
    QString openedIn;
    whenShown(false, [&](QWidget* dialog) {
        openedIn = static_cast<QFileDialog*>(dialog)->directory().absolutePath();
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(root + "/missing/saved.csv");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(openedIn, root);
    whenShown(false, [&told](QWidget* box) {
        told = static_cast<QMessageBox*>(box)->text();
        box->close();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!told.isEmpty(), 60000);
    QVERIFY2(told.contains(root + "/missing/saved.csv"), qPrintable(told));
}

TARVIK_TEST_WIDGETS_MAIN(ExportTest)
#include "tst_export.moc"
