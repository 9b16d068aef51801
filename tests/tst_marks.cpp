// The marking rules, and the check before a marked file goes, without widgets.

#include "core/marks.h"
#include "scan/markedfileaction.h"
#include "testenv.h"

using namespace tarvik;

Q_DECLARE_METATYPE(MarkRule)
Q_DECLARE_METATYPE(MarkedCheck)

namespace {

// "path mtime" files with a leading '*' for a marked one; groups separated by "|".
QVector<MarkedGroup> groupsOf(const QString& text)
{
    QVector<MarkedGroup> groups;
    for (const QString& part : text.split(QLatin1Char('|'))) {
        MarkedGroup group;
        for (QString file : part.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            file = file.trimmed();
            const bool marked = file.startsWith(QLatin1Char('*'));
            const QStringList words = file.mid(marked ? 1 : 0).split(QLatin1Char(' '));
            group.append({words[0], 10, words.value(1).toLongLong(), marked});
        }
        groups.append(group);
    }
    return groups;
}

QString marksOf(const QVector<MarkedGroup>& groups)
{
    QStringList out;
    for (const MarkedGroup& group : groups) {
        QString marks;
        for (const MarkedFile& file : group)
            marks += file.marked ? QLatin1Char('1') : QLatin1Char('0');
        out << marks;
    }
    return out.join(QLatin1Char('|'));
}

} // namespace

class MarksTest : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void checkBeforeTrash_data();
    void checkBeforeTrash();
};

void MarksTest::rules_data()
{
    QTest::addColumn<MarkRule>("rule");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("groups");
    QTest::addColumn<QString>("marks");

    const QString plain = QStringLiteral("/a 3, /bb 1, /c 1 | /d 5 | *x 1, *y 2");
    QTest::newRow("oldest, first of a tie") << MarkRule::AllButOldest << "" << plain << "101|0|01";
    QTest::newRow("newest") << MarkRule::AllButNewest << ""
                            << "/a 1, /b 3, /c 3 | *d 1"
                            << "101|0";
    QTest::newRow("first") << MarkRule::AllButFirst << "" << plain << "011|0|01";
    QTest::newRow("shortest path, first of a tie") << MarkRule::AllButShortestPath << ""
                                                   << "/x/aa 0, /x/b 0, /x/c 0 | /long 0, /s 0"
                                                   << "101|10";
    QTest::newRow("outside a folder")
        << MarkRule::OutsideFolder << "/k"
        << "/k/a 0, /o/b 0, /kk/c 0 | *o/c 0, /o/d 0 | /k/e 0, /k/f/g 0 | /k 0, /k/h 0"
        << "011|00|00|10";
    QTest::newRow("outside the root folder")
        << MarkRule::OutsideFolder << "/" << plain << "000|0|00";
    QTest::newRow("invert, never all of a group") << MarkRule::Invert << ""
                                                  << "*a 0, b 0, c 0 | d 0, e 0 | *f 0, *g 0 | h 0"
                                                  << "011|00|00|0";
    QTest::newRow("clear") << MarkRule::Clear << ""
                           << "*a 0, *b 0 | c 0"
                           << "00|0";
}

void MarksTest::rules()
{
    QFETCH(MarkRule, rule);
    QFETCH(QString, folder);
    QFETCH(QString, groups);
    QVector<MarkedGroup> made = groupsOf(groups);
    applyMarkRule(&made, rule, folder);
    QTEST(marksOf(made), "marks");
}

void MarksTest::checkBeforeTrash_data()
{
    QTest::addColumn<QString>("copies");
    QTest::addColumn<QString>("change");
    QTest::addColumn<MarkedCheck>("check");
    QTest::addColumn<int>("keptCopy");
    // Copies as their contents; the marked file holds "same".
    QTest::newRow("the first copy") << "same same"
                                    << "" << MarkedCheck::Verified << 0;
    QTest::newRow("a copy rewritten since") << "same same"
                                            << "copy 0" << MarkedCheck::Verified << 1;
    QTest::newRow("a copy of other bytes") << "SAME same"
                                           << "" << MarkedCheck::Verified << 1;
    QTest::newRow("every copy other bytes") << "SAME sam"
                                            << "" << MarkedCheck::KeptCopyDiffers << -1;
    QTest::newRow("every copy changed since") << "same"
                                              << "copy 0" << MarkedCheck::NoKeptCopy << -1;
    QTest::newRow("marked file rewritten") << "same"
                                           << "marked" << MarkedCheck::ChangedSince << -1;
    QTest::newRow("no copy needs to stay") << ""
                                           << "" << MarkedCheck::Verified << -1;
    QTest::newRow("cancelled") << "same"
                               << "cancel" << MarkedCheck::Cancelled << -1;
}

// The marked file goes to the trash exactly when the check verified it.
void MarksTest::checkBeforeTrash()
{
    QFETCH(QString, copies);
    QFETCH(QString, change);
    QFETCH(MarkedCheck, check);
    const QString root = test::freshRoot();
    MarkedTrashTask task;
    task.path = root + "/marked";
    QVERIFY(test::writeFile(task.path, "same"));
    task.stamp = FileStamp::of(task.path);
    task.needsKeptCopy = !copies.isEmpty();
    for (const QString& content : copies.split(' ', Qt::SkipEmptyParts)) {
        const QString path = root + "/copy " + QString::number(task.keep.size());
        QVERIFY(test::writeFile(path, content.toUtf8()));
        task.keep.append({path, FileStamp::of(path)});
    }
    if (!change.isEmpty() && change != "cancel")
        QVERIFY(test::writeFile(root + '/' + change, "changed"));
    const StopCheck cancel = [&] { return change == "cancel"; };
    const MarkedCheckResult result = checkMarkedFile(task, cancel);
    QCOMPARE(result.check, check);
    QTEST(result.keptCopy, "keptCopy");
    QCOMPARE(trashMarkedFile(task, cancel) == MarkedTrashResult::Moved,
             check == MarkedCheck::Verified);
    QCOMPARE(QFileInfo::exists(task.path), check != MarkedCheck::Verified);
}

TARVIK_TEST_GUILESS_MAIN(MarksTest)
#include "tst_marks.moc"
