// The manual pages name exactly the options and exit codes that the programs' own --help
// names, so that a flag added to one is not missing from the other.

#include "testenv.h"

#include <QProcess>
#include <QRegularExpression>

namespace {

using Names = QSet<QString>;

Names matches(const QString& text, const QRegularExpression& pattern)
{
    Names found;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured(1));
    return found;
}

// Long options and single-letter ones as they stand in running text ("tarvik-scan" is none).
Names options(const QString& text)
{
    static const QRegularExpression option(
        QStringLiteral("(?<![\\w-])(--[a-z][a-z-]*|-[A-Za-z])(?![\\w-])"));
    return matches(text, option);
}

Names numbers(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("\\b(\\d+)\\b"));
    return matches(text, number);
}

// The page's text without its hyphen escapes, font changes and special characters.
QString pageText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text =
        QString::fromUtf8(file.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
    static const QRegularExpression escape(QStringLiteral("\\\\(f[BIRP]|\\(..)"));
    return text.remove(escape);
}

// The lines of text from the one that starts with heading up to the next heading.
QString section(const QString& text, const QString& heading, const QString& next)
{
    const int start = text.indexOf(heading);
    if (start < 0)
        return {};
    const int end = text.indexOf(next, start + heading.size());
    return text.mid(start + heading.size(), end < 0 ? -1 : end - start - heading.size());
}

QString difference(const Names& page, const Names& help)
{
    QStringList extra = (page - help).values(), missing = (help - page).values();
    extra.sort(), missing.sort();
    return QStringLiteral("only in the page: %1; only in --help: %2")
        .arg(extra.join(QLatin1Char(' ')), missing.join(QLatin1Char(' ')));
}

} // namespace

class TestManPages : public QObject
{
    Q_OBJECT

private slots:
    void pageMatchesHelp_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("page");
        QTest::newRow("tarvik-scan") << TARVIK_SCAN << "tarvik-scan.1.in";
        QTest::newRow("tarvik") << TARVIK_APP << "tarvik.1.in";
    }

    void pageMatchesHelp()
    {
        QFETCH(QString, program);
        QFETCH(QString, page);
        QProcess process;
        process.start(program, {QStringLiteral("--help")});
        if (!process.waitForFinished(8000)) {
            process.kill();
            process.waitForFinished();
            QSKIP("the program answers no --help yet: it stayed up");
        }
        QCOMPARE(process.exitCode(), 0);
        const QString help = QString::fromUtf8(process.readAllStandardOutput());
        const QString text = pageText(QStringLiteral(TARVIK_MAN_DIR "/") + page);
        QVERIFY2(!text.isEmpty(), qPrintable(page));

        const Names pageOptions = options(text), helpOptions = options(help);
        QVERIFY2(pageOptions == helpOptions, qPrintable(difference(pageOptions, helpOptions)));

        const QString helpCodes =
            section(help, QStringLiteral("Exit codes:"), QStringLiteral("\n\n"));
        if (helpCodes.isEmpty())
            return;
        QString pageCodes;
        for (const QString& line :
             section(text, QStringLiteral(".SH EXIT STATUS"), QStringLiteral(".SH")).split('\n'))
            if (line.startsWith(QLatin1String(".B")))
                pageCodes += line + QLatin1Char('\n');
        QVERIFY2(numbers(pageCodes) == numbers(helpCodes),
                 qPrintable(difference(numbers(pageCodes), numbers(helpCodes))));
    }
};

TARVIK_TEST_GUILESS_MAIN(TestManPages)
#include "tst_manpages.moc"
