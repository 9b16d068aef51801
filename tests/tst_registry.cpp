#include "core/appdirs.h"
#include "core/registry.h"
#include "core/registrysqlite.h"
#include "testenv.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cfloat>
#include <climits>
#include <memory>
#include <type_traits>

using tarvik::Registry;
using tarvik::RegistrySQLite;

namespace {

int warnings = 0;
QtMessageHandler testHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        ++warnings;
    testHandler(type, context, text);
}

enum Kind { Boolean, Text, Chars, Integer, Float, Double };
const Kind allKinds[] = {Boolean, Text, Chars, Integer, Float, Double};

QString tableOf(Kind kind)
{
    static const char* const tables[] = {"boolean", "string", "string",
                                         "integer", "float",  "double"};
    return QString::fromLatin1(tables[kind]);
}

void put(Registry& registry, Kind kind, const QString& path, const QString& key,
         const QVariant& value)
{
    switch (kind) {
    case Boolean:
        return registry.setValue(path, key, value.toBool());
    case Text:
        return registry.setValue(path, key, value.toString());
    case Chars:
        return registry.setValue(path, key, value.toString().toUtf8().constData());
    case Integer:
        return registry.setValue(path, key, value.toInt());
    case Float:
        return registry.setValue(path, key, value.toFloat());
    case Double:
        return registry.setValue(path, key, value.toDouble());
    }
}

QVariant get(Registry& registry, Kind kind, const QString& path, const QString& key,
             const QVariant& fallback)
{
    switch (kind) {
    case Boolean:
        return registry.getValue(path, key, fallback.toBool());
    case Text:
        return registry.getValue(path, key, fallback.toString());
    case Chars:
        return registry.getValue(path, key, fallback.toString().toUtf8().constData());
    case Integer:
        return registry.getValue(path, key, fallback.toInt());
    case Float:
        return QVariant::fromValue(registry.getValue(path, key, fallback.toFloat()));
    case Double:
        return registry.getValue(path, key, fallback.toDouble());
    }
    return QVariant();
}

// A value of each kind that no default below uses.
QVariant sample(Kind kind)
{
    switch (kind) {
    case Boolean:
        return true;
    case Text:
    case Chars:
        return QStringLiteral("stored");
    case Integer:
        return 4711;
    case Float:
        return QVariant::fromValue(2.5f);
    case Double:
        return 6.25;
    }
    return QVariant();
}

QVariant fallbackOf(Kind kind)
{
    switch (kind) {
    case Boolean:
        return false;
    case Text:
    case Chars:
        return QStringLiteral("fallback");
    case Integer:
        return -1;
    case Float:
        return QVariant::fromValue(-1.5f);
    case Double:
        return -2.5;
    }
    return QVariant();
}

// Exact for reals: a float that comes back merely close has been through text somewhere.
bool same(const QVariant& a, const QVariant& b)
{
    if (a.userType() != b.userType())
        return false;
    if (a.userType() == QMetaType::Float)
        return a.value<float>() == b.value<float>();
    if (a.userType() == QMetaType::Double)
        return a.toDouble() == b.toDouble();
    return a == b;
}

#define VERIFY_SAME(actual, expected)                                                              \
    QVERIFY2(same(actual, expected),                                                               \
             qPrintable(QStringLiteral("got %1 (%2), want %3 (%4)")                                \
                            .arg(actual.toString(), actual.typeName(), expected.toString(),        \
                                 expected.typeName())))

// Looks at the file through a read-only connection of its own, never through the store.
QList<QVariantList> rowsOf(const QString& file, const QString& sql, const QVariantList& binds = {})
{
    const QString name = QStringLiteral("inspect");
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(sql);
            for (const QVariant& bind : binds)
                query.addBindValue(bind);
            if (query.exec()) {
                while (query.next()) {
                    QVariantList row;
                    for (int i = 0; i < query.record().count(); ++i)
                        row << query.value(i);
                    rows << row;
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

QList<QVariantList> rowsUnder(const QString& file, Kind kind, const QString& path,
                              const QString& key)
{
    return rowsOf(file,
                  QStringLiteral("SELECT typeof(value), value FROM '%1' WHERE path=? AND key=?")
                      .arg(tableOf(kind)),
                  {path, key});
}

QStringList tablesOf(const QString& file)
{
    QStringList names;
    for (const QVariantList& row :
         rowsOf(file, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        names << row.value(0).toString();
    return names;
}

// Sees what the text forms hand on to the QString forms.
class SpyRegistry : public RegistrySQLite
{
public:
    using RegistrySQLite::getValue;
    using RegistrySQLite::RegistrySQLite;
    using RegistrySQLite::setValue;

    void setValue(const QString& path, const QString& key, const QString& value) override
    {
        mSeen << value;
        RegistrySQLite::setValue(path, key, value);
    }
    QString getValue(const QString& path, const QString& key, const QString& defaultValue) override
    {
        mSeen << defaultValue;
        return RegistrySQLite::getValue(path, key, defaultValue);
    }

    QStringList mSeen;
};

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { testHandler = qInstallMessageHandler(countWarnings); }
    void init() { warnings = 0; }
    // Qt warns when a connection name is reused or removed while still in use.
    void cleanup() { QCOMPARE(warnings, 0); }

    void firstRunCreatesTablesAndGivesDefaults();
    void roundTrip_data();
    void roundTrip();
    void typesAreSeparateSettings();
    void charPointerForms();
    void unusualNames_data();
    void unusualNames();
    void unusableLocation_data();
    void unusableLocation();
    void notADatabase_data();
    void notADatabase();
    void storesShareOneFile();
    void instanceLivesInDataDirectory();

private:
    QString freshFile()
    {
        mDirs.emplace_back(std::make_unique<QTemporaryDir>());
        return mDirs.back()->filePath(QStringLiteral("registry.db"));
    }

    std::vector<std::unique_ptr<QTemporaryDir>> mDirs;
};

void TestRegistry::firstRunCreatesTablesAndGivesDefaults()
{
    const QString file = freshFile();
    RegistrySQLite store(file);
    QVERIFY(QFileInfo(file).isFile());

    const QStringList expected = {
        "CREATE TABLE 'boolean' ('path' TEXT, 'key' TEXT, 'value' SMALLINT, PRIMARY KEY "
        "('path', 'key'))",
        "CREATE TABLE 'string' ('path' TEXT, 'key' TEXT, 'value' TEXT, PRIMARY KEY "
        "('path', 'key'))",
        "CREATE TABLE 'integer' ('path' TEXT, 'key' TEXT, 'value' INTEGER, PRIMARY KEY "
        "('path', 'key'))",
        "CREATE TABLE 'float' ('path' TEXT, 'key' TEXT, 'value' REAL, PRIMARY KEY "
        "('path', 'key'))",
        "CREATE TABLE 'double' ('path' TEXT, 'key' TEXT, 'value' DOUBLE, PRIMARY KEY "
        "('path', 'key'))",
    };
    QStringList actual;
    for (const QVariantList& row :
         rowsOf(file, QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' "
                                     "ORDER BY rowid")))
        actual << row.value(0).toString();
    QCOMPARE(actual, expected);

    for (Kind kind : allKinds) {
        VERIFY_SAME(get(store, kind, "global", "absent", fallbackOf(kind)), fallbackOf(kind));
        VERIFY_SAME(get(store, kind, "global", "absent", sample(kind)), sample(kind));
    }
    QCOMPARE(store.getValue("global", "absent", ""), QString(""));
}

void TestRegistry::roundTrip_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("storedAs");

    const QString text = QString::fromUtf8("Grüße ✓ C:\\Users\\x \"q\" \n tab\t");
    QTest::newRow("bool true") << int(Boolean) << QVariant(true) << "integer";
    QTest::newRow("bool false") << int(Boolean) << QVariant(false) << "integer";
    QTest::newRow("text") << int(Text) << QVariant(text) << "text";
    QTest::newRow("text empty") << int(Text) << QVariant(QString("")) << "text";
    QTest::newRow("chars") << int(Chars) << QVariant(text) << "text";
    QTest::newRow("int zero") << int(Integer) << QVariant(0) << "integer";
    QTest::newRow("int max") << int(Integer) << QVariant(INT_MAX) << "integer";
    QTest::newRow("int min") << int(Integer) << QVariant(INT_MIN) << "integer";
    QTest::newRow("float 2.5") << int(Float) << QVariant::fromValue(2.5f) << "real";
    QTest::newRow("float tenth") << int(Float) << QVariant::fromValue(0.1f) << "real";
    QTest::newRow("float 24 bits") << int(Float) << QVariant::fromValue(16777215.0f) << "real";
    QTest::newRow("float max") << int(Float) << QVariant::fromValue(-FLT_MAX) << "real";
    QTest::newRow("float denormal") << int(Float) << QVariant::fromValue(FLT_TRUE_MIN) << "real";
    QTest::newRow("double third") << int(Double) << QVariant(1.0 / 3.0) << "real";
    QTest::newRow("double max") << int(Double) << QVariant(DBL_MAX) << "real";
    QTest::newRow("double tiny") << int(Double) << QVariant(-4.9e-324) << "real";
}

void TestRegistry::roundTrip()
{
    QFETCH(int, kind);
    QFETCH(QVariant, value);
    QFETCH(QString, storedAs);
    const Kind k = Kind(kind);
    const QString file = freshFile();
    // The opposite bool, or the kind's own default, comes first and must be replaced.
    const QVariant first = k == Boolean ? QVariant(!value.toBool()) : fallbackOf(k);
    const QVariant other = k == Boolean ? QVariant(!value.toBool()) : sample(k);

    {
        RegistrySQLite store(file);
        put(store, k, "global", "setting", first);
        put(store, k, "global", "setting", value);
        VERIFY_SAME(get(store, k, "global", "setting", other), value);
    }
    const QList<QVariantList> rows = rowsUnder(file, k, "global", "setting");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value(0).toString(), storedAs);

    RegistrySQLite reopened(file);
    VERIFY_SAME(get(reopened, k, "global", "setting", other), value);
}

void TestRegistry::typesAreSeparateSettings()
{
    const QString file = freshFile();
    RegistrySQLite store(file);
    for (Kind kind : {Boolean, Text, Integer, Float, Double})
        put(store, kind, "global", "shared", sample(kind));
    for (Kind kind : {Boolean, Text, Integer, Float, Double})
        VERIFY_SAME(get(store, kind, "global", "shared", fallbackOf(kind)), sample(kind));

    store.setValue("global", "onlyDouble", 3.75);
    for (Kind kind : {Boolean, Text, Integer, Float})
        VERIFY_SAME(get(store, kind, "global", "onlyDouble", fallbackOf(kind)), fallbackOf(kind));
    QCOMPARE(store.getValue("global", "onlyDouble", 0.0), 3.75);

    // A string literal is text, never a bool.
    static_assert(std::is_same_v<decltype(store.getValue("", "", "")), QString>);
    store.setValue("global", "literal", "yes");
    QCOMPARE(store.getValue("global", "literal", false), false);
    QCOMPARE(store.getValue("global", "literal", ""), QString("yes"));
    QVERIFY(rowsUnder(file, Boolean, "global", "literal").isEmpty());
}

void TestRegistry::charPointerForms()
{
    const QString file = freshFile();
    SpyRegistry store(file);
    Registry& registry = store;
    const char* const none = nullptr;

    registry.setValue("global", "null", none);
    registry.setValue("global", "empty", "");
    registry.setValue("global", "utf8", "\xc3\xa9t\xc3\xa9");
    QCOMPARE(store.mSeen.size(), 3);
    QVERIFY(store.mSeen.at(0).isNull());
    QVERIFY(!store.mSeen.at(1).isNull() && store.mSeen.at(1).isEmpty());
    QCOMPARE(store.mSeen.at(2), QString::fromUtf8("été"));
    store.mSeen.clear();

    // A stored null is a stored value, not a missing one.
    QCOMPARE(registry.getValue("global", "null", "fallback"), QString());
    QCOMPARE(registry.getValue("global", "empty", "fallback"), QString(""));
    QCOMPARE(registry.getValue("global", "utf8", ""), QString::fromUtf8("été"));
    QCOMPARE(registry.getValue("global", "absent", ""), QString(""));
    QVERIFY(registry.getValue("global", "absent", none).isNull());
    QCOMPARE(store.mSeen.size(), 5);
    QVERIFY(store.mSeen.at(4).isNull());
}

void TestRegistry::unusualNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("readPath");
    QTest::addColumn<QString>("readKey");

    const auto row = [](const char* name, const QString& path, const QString& key) {
        QTest::newRow(name) << path << key << path << key;
    };
    row("quote in key", "global", "it's");
    row("quote in path", "o'clock", "key");
    row("lone quotes", "'", "'");
    row("always true", "global", "x' OR '1'='1");
    row("second statement", "global", "x'; DROP TABLE string; --");
    row("placeholders", "%1", "%2");
    row("empty", "", "");
    QTest::newRow("null is empty") << QString() << QString() << QString("") << QString("");
}

void TestRegistry::unusualNames()
{
    QFETCH(QString, path);
    QFETCH(QString, key);
    QFETCH(QString, readPath);
    QFETCH(QString, readKey);
    const QString file = freshFile();
    RegistrySQLite store(file);

    for (Kind kind : allKinds)
        put(store, kind, "global", "x", sample(kind));
    for (Kind kind : allKinds)
        VERIFY_SAME(get(store, kind, readPath, readKey, fallbackOf(kind)), fallbackOf(kind));

    for (Kind kind : allKinds) {
        put(store, kind, path, key, fallbackOf(kind));
        put(store, kind, path, key, sample(kind));
        VERIFY_SAME(get(store, kind, readPath, readKey, fallbackOf(kind)), sample(kind));
        VERIFY_SAME(get(store, kind, "global", "x", fallbackOf(kind)), sample(kind));
        QCOMPARE(rowsUnder(file, kind, readPath, readKey).size(), 1);
    }
    QCOMPARE(tablesOf(file).size(), 5);
}

void TestRegistry::unusableLocation_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("missing directory") << "missing";
    QTest::newRow("file for directory") << "file";
    QTest::newRow("read-only directory") << "readonly";
    QTest::newRow("system directory") << "/proc";
}

void TestRegistry::unusableLocation()
{
    QFETCH(QString, where);
    QTemporaryDir dir;
    QString folder = where.startsWith('/') ? where : dir.filePath(where);
    if (where == "missing") {
        folder += "/deeper";
    } else if (where == "file") {
        QFile plain(folder);
        QVERIFY(plain.open(QIODevice::WriteOnly));
    } else if (where == "readonly") {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(folder + "/probe");
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("permissions do not bind this user (root); the system directory case stands in");
        }
    } else {
        if (!QFileInfo(folder).isDir())
            QSKIP("no /proc here");
    }
    const QString file = folder + "/registry.db";

    {
        RegistrySQLite store(file);
        for (Kind kind : allKinds)
            VERIFY_SAME(get(store, kind, "global", "k", fallbackOf(kind)), fallbackOf(kind));
        for (Kind kind : allKinds)
            put(store, kind, "global", "k", sample(kind));
        for (Kind kind : allKinds)
            VERIFY_SAME(get(store, kind, "global", "k", fallbackOf(kind)), fallbackOf(kind));
    }
    QVERIFY(!QFileInfo::exists(file));
    if (where == "readonly")
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestRegistry::notADatabase_data()
{
    QTest::addColumn<QByteArray>("content");

    QByteArray noise(8192, '\0');
    QRandomGenerator random(20240501);
    for (char& byte : noise)
        byte = char(random.bounded(256));
    QTest::newRow("random bytes") << noise;
    QTest::newRow("a few bytes") << QByteArray("abc");
    QTest::newRow("text") << QByteArray("my notes, not settings\n").repeated(300);
    QByteArray header("SQLite format 3");
    header.append('\0');
    QTest::newRow("header only") << header + QByteArray(84, '\x7f');

    // A real store file whose first page has been overwritten past the header.
    QByteArray damaged;
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("registry.db");
        {
            RegistrySQLite store(file);
            store.setValue("global", "k", 1);
        }
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        damaged = in.readAll();
    }
    QVERIFY(damaged.size() > 1024);
    damaged.replace(100, 900, QByteArray(900, '\xff'));
    QTest::newRow("damaged database") << damaged;
}

void TestRegistry::notADatabase()
{
    QFETCH(QByteArray, content);
    const QString file = freshFile();
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(content), qint64(content.size()));
    }

    for (int run = 0; run < 2; ++run) {
        RegistrySQLite store(file);
        for (Kind kind : allKinds) {
            put(store, kind, "global", "k", sample(kind));
            VERIFY_SAME(get(store, kind, "global", "k", fallbackOf(kind)), fallbackOf(kind));
        }
    }

    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QVERIFY(in.readAll() == content);
    QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{"registry.db"});
}

void TestRegistry::storesShareOneFile()
{
    const QString file = freshFile();
    auto first = std::make_unique<RegistrySQLite>(file);
    {
        RegistrySQLite second(file);
        first->setValue("global", "a", 1);
        QCOMPARE(second.getValue("global", "a", 0), 1);
        second.setValue("global", "b", 2);
    }
    // Closing the second store must not have taken the first one's connection with it.
    QCOMPARE(first->getValue("global", "b", 0), 2);
    first->setValue("global", "c", 3);
    first.reset();

    {
        RegistrySQLite third(file);
        QCOMPARE(third.getValue("global", "a", 0) + third.getValue("global", "b", 0) +
                     third.getValue("global", "c", 0),
                 6);
    }
    // Each store gives its connection name back when it closes.
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
}

void TestRegistry::instanceLivesInDataDirectory()
{
    const QString data = tarvik::dataDirectory();
    QVERIFY(!QFileInfo::exists(data));

    Registry* registry = Registry::instance();
    QVERIFY(registry);
    QCOMPARE(Registry::instance(), registry);
    QVERIFY(dynamic_cast<RegistrySQLite*>(registry));
    QVERIFY(QFileInfo(tarvik::usersDirectory()).isDir());
    QVERIFY(QFileInfo(tarvik::cacheDirectory()).isDir());
    QCOMPARE(tablesOf(data + "/registry.db").size(), 5);

    registry->setValue("global", "launched", true);
    QCOMPARE(registry->getValue("global", "launched", false), true);
    RegistrySQLite other(data + "/registry.db");
    QCOMPARE(other.getValue("global", "launched", false), true);
}

TARVIK_TEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
