#include "scan/walkrules.h"

#include <QDir>
#include <algorithm>

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

struct Glob
{
    QString regex;
    bool onPath = false;
    bool folderOnly = false;
};

// A set "[...]" from at, as a regular expression's class; false when it has no end.
bool appendSet(const QString& glob, int& at, QString* out)
{
    int end = at + 1;
    const bool negated = end < glob.size() && (glob[end] == '!' || glob[end] == '^');
    if (negated)
        ++end;
    const int first = end;
    // A "]" right at the start belongs to the set.
    if (end < glob.size() && glob[end] == ']')
        ++end;
    end = glob.indexOf(QLatin1Char(']'), end);
    if (end < 0)
        return false;
    *out += negated ? QStringLiteral("[^/") : QStringLiteral("[");
    for (int i = first; i < end; ++i) {
        const bool range = glob[i] == '-' && i > first && i + 1 < end;
        *out += range ? QStringLiteral("-") : QRegularExpression::escape(glob.mid(i, 1));
    }
    *out += QLatin1Char(']');
    at = end + 1;
    return true;
}

Glob translate(const QString& text)
{
    Glob glob;
    QString p = QDir::fromNativeSeparators(text);
    while (p.endsWith(QLatin1Char('/'))) {
        glob.folderOnly = true;
        p.chop(1);
    }
    glob.onPath = p.contains(QLatin1Char('/'));
    while (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    // "/" alone would name the chosen folder, which is never matched.
    if (p.isEmpty())
        return glob;
    QString& rx = glob.regex;
    for (int i = 0; i < p.size();) {
        const QStringRef rest = p.midRef(i);
        const bool atStart = i == 0 || p[i - 1] == '/';
        if (atStart && rest.startsWith(QLatin1String("**/"))) {
            rx += QStringLiteral("(?:.*/)?");
            i += 3;
        } else if (rest == QLatin1String("/**")) {
            rx += QStringLiteral("(?:/.*)?");
            i += 3;
        } else if (atStart && rest == QLatin1String("**")) {
            rx += QStringLiteral(".*");
            i += 2;
        } else if (p[i] == '*') {
            rx += QStringLiteral("[^/]*");
            ++i;
        } else if (p[i] == '?') {
            rx += QStringLiteral("[^/]");
            ++i;
        } else if (p[i] != '[' || !appendSet(p, i, &rx)) {
            rx += QRegularExpression::escape(p.mid(i, 1));
            ++i;
        }
    }
    return glob;
}

QRegularExpression matcher(const QString& pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DontCaptureOption);
}

} // namespace

ExcludePatterns::ExcludePatterns(const QStringList& patterns)
{
    QStringList alternatives[KindCount];
    for (const QString& pattern : patterns) {
        const Glob glob = translate(pattern);
        if (glob.regex.isEmpty() || !matcher(glob.regex).isValid())
            continue;
        const int kind = (glob.onPath ? PathAny : NameAny) + (glob.folderOnly ? 1 : 0);
        alternatives[kind] << QStringLiteral("(?:%1)").arg(glob.regex);
        mEmpty = false;
        mUsesPaths = mUsesPaths || glob.onPath;
    }
    for (int kind = 0; kind < KindCount; ++kind) {
        if (alternatives[kind].isEmpty())
            continue;
        mMatchers[kind] = matcher(alternatives[kind].join(QLatin1Char('|')));
        mMatchers[kind].optimize();
    }
}

QString ExcludePatterns::invalidPattern(const QStringList& patterns)
{
    for (const QString& pattern : patterns) {
        const Glob glob = translate(pattern);
        if (!glob.regex.isEmpty() && !matcher(glob.regex).isValid())
            return pattern;
    }
    return QString();
}

bool ExcludePatterns::excludes(const QString& name, const QString& path, bool folder) const
{
    const auto hit = [](const QRegularExpression& rx, const QString& text) {
        return !rx.pattern().isEmpty() && rx.match(text).hasMatch();
    };
    if (hit(mMatchers[NameAny], name) || hit(mMatchers[PathAny], path))
        return true;
    return folder && (hit(mMatchers[NameFolder], name) || hit(mMatchers[PathFolder], path));
}

WalkRules::WalkRules(const QString& filter, const ScanOptions& options)
    : names(filter), exclude(options.exclude), options(options)
{
}

bool WalkRules::listsNothing() const
{
    return names.listsNothing() ||
           (options.maxSize != ScanOptions::kNoLimit && options.maxSize < options.minSize);
}

} // namespace tarvik
