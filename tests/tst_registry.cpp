#include "core/appdirs.h"
#include "core/registry.h"
#include "core/registrysqlite.h"
#include "testenv.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <climits>
#include <optional>

using tarvik::Registry;
using tarvik::RegistrySQLite;

namespace {

// Calls f(stored, fallback) for each of the five value types, with two different values.
template <typename F> void forEachType(F f)
{
    f(true, false);
    f(QStringLiteral("stored"), QStringLiteral("fallback"));
    f(4711, -1);
    f(2.5f, -1.5f);
    f(6.25, -2.5);
}

// Pairs of a first value and the one that must replace it, each under a key of its own.
template <typename F> void forEachPair(F f)
{
    f("bool true", false, true);
    f("bool false", true, false);
    f("text", QString("first"), QString::fromUtf8("Grüße ✓ C:\\Users\\x \"q\" \n tab\t"));
    f("text empty", QString("first"), QString(""));
    f("int min", 1, INT_MIN);
    f("float 2.5", 1.0f, 2.5f);
    f("float third", 1.0f, 1.0f / 3.0f);
    f("double third", 1.0, 1.0 / 3.0);
}

// Exact, also for reals: a value that comes back merely close has lost precision on the way.
#define VERIFY_READ(registry, path, key, fallback, want)                                           \
    do {                                                                                           \
        const auto got = (registry).getValue(path, key, fallback);                                 \
        QVERIFY2(got == (want), qPrintable(QStringLiteral("%1/%2: got %3, want %4")                \
                                               .arg(path, key, QVariant(got).toString(),           \
                                                    QVariant(want).toString())));                  \
    } while (false)

// The first column of a query, through a read-only connection of its own, never the store's.
QStringList column(const QString& file, const QString& sql, const QVariantList& binds = {})
{
    QStringList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "inspect");
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery query(db);
        if (db.open() && query.prepare(sql)) {
            for (const QVariant& bind : binds)
                query.addBindValue(bind);
            for (query.exec(); query.next();)
                values << query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase("inspect");
    return values;
}

QStringList tablesOf(const QString& file)
{
    return column(file, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
}

// Rows under the path and key in all tables together.
int rowsUnder(const QString& file, const QString& path, const QString& key)
{
    int rows = 0;
    for (const QString& table : tablesOf(file))
        rows += column(file, QStringLiteral("SELECT 1 FROM '%1' WHERE path=? AND key=?").arg(table),
                       {path, key})
                    .size();
    return rows;
}

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init() { mMessages.emplace(); }
    // Qt warns when a connection name is reused or removed while still in use.
    void cleanup()
    {
        QCOMPARE(mMessages->lines(QtWarningMsg), QStringList());
        mMessages.reset();
    }

    void roundTrip();
    void charPointerForms();
    void unusualNames_data();
    void unusualNames();
    void unusableFile_data();
    void unusableFile();
    void instanceLivesInDataDirectory();

private:
    static QString freshFile() { return tarvik::test::freshRoot() + "/registry.db"; }

    std::optional<tarvik::test::MessageCatcher> mMessages;
};

// Every read gives its default at first, two of them so that a constant cannot pass. Each
// type is a setting of its own under the same path and key. A second write replaces the first
// in its one row, and the value survives a reopen.
void TestRegistry::roundTrip()
{
    const QString file = freshFile();
    {
        RegistrySQLite store(file);
        QCOMPARE(tablesOf(file), (QStringList{"boolean", "string", "integer", "float", "double"}));
        forEachType([&](auto one, auto other) {
            VERIFY_READ(store, "global", "shared", one, one);
            VERIFY_READ(store, "global", "shared", other, other);
        });
        forEachType([&](auto stored, auto) { store.setValue("global", "shared", stored); });
        forEachType([&](auto stored, auto fallback) {
            VERIFY_READ(store, "global", "shared", fallback, stored);
        });
        forEachPair([&](const char* key, auto first, auto value) {
            store.setValue("global", key, first);
            store.setValue("global", key, value);
            VERIFY_READ(store, "global", key, first, value);
            QCOMPARE(rowsUnder(file, "global", key), 1);
        });
    }
    RegistrySQLite reopened(file);
    forEachPair([&](const char* key, auto first, auto value) {
        VERIFY_READ(reopened, "global", key, first, value);
    });
}

void TestRegistry::charPointerForms()
{
    RegistrySQLite store(freshFile());
    const char* const none = nullptr;

    // A literal is text, never a bool.
    store.setValue("global", "empty", "");
    VERIFY_READ(store, "global", "empty", true, true);
    VERIFY_READ(store, "global", "empty", "fallback", QString(""));
    store.setValue("global", "utf8", "\xc3\xa9t\xc3\xa9");
    VERIFY_READ(store, "global", "utf8", "", QString::fromUtf8("été"));

    // A null pointer is the null text: a stored value, not a missing one.
    store.setValue("global", "null", none);
    VERIFY_READ(store, "global", "null", "fallback", QString());
    QVERIFY(store.getValue("global", "absent", "").isEmpty());
    QVERIFY(!store.getValue("global", "absent", "").isNull());
    QVERIFY(store.getValue("global", "absent", none).isNull());
}

void TestRegistry::unusualNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("key");

    QTest::newRow("quotes") << QString("o'clock") << QString("it's");
    QTest::newRow("always true") << QString("global") << QString("x' OR '1'='1");
    QTest::newRow("second statement") << QString("global") << QString("x'; DROP TABLE string; --");
    // A null name would bind as SQL NULL and pile up rows that no read finds.
    QTest::newRow("null is empty") << QString() << QString();
}

void TestRegistry::unusualNames()
{
    QFETCH(QString, path);
    QFETCH(QString, key);
    const QString file = freshFile();
    RegistrySQLite store(file);

    forEachType([&](auto stored, auto fallback) {
        store.setValue("global", "x", stored);
        VERIFY_READ(store, path, key, fallback, fallback);
        store.setValue(path, key, fallback);
        store.setValue(path, key, stored);
        VERIFY_READ(store, path, key, fallback, stored);
    });
    QCOMPARE(rowsUnder(file, path.isNull() ? "" : path, key.isNull() ? "" : key), 5);
    QCOMPARE(tablesOf(file).size(), 5);
}

void TestRegistry::unusableFile_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QByteArray>("content");

    const QByteArray noise = QByteArray::fromHex("a5e3017fc2").repeated(1600);
    const QByteArray header("SQLite format 3\0", 16);
    QTest::newRow("missing directory") << "missing/deeper" << QByteArray();
    QTest::newRow("read-only directory") << "readonly" << QByteArray();
    QTest::newRow("system directory") << "/proc" << QByteArray();
    QTest::newRow("foreign bytes") << "." << noise;
    QTest::newRow("one byte") << "." << QByteArray("x");
    QTest::newRow("a short text") << "." << QByteArray("settings: none\n");
    QTest::newRow("header then noise") << "." << header + noise.left(84);
}

// Nothing crashes, every read gives its default and a foreign file stays as it was.
void TestRegistry::unusableFile()
{
    QFETCH(QString, where);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString folder = where.startsWith('/') ? where : dir.filePath(where);
    const QString file = folder + "/registry.db";
    if (where == "readonly") {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (QFile(folder + "/probe").open(QIODevice::WriteOnly))
            QSKIP("permissions do not bind this user (root); the system directory case stands in");
    } else if (!content.isEmpty()) {
        QVERIFY(tarvik::test::writeFile(file, content));
    }

    {
        RegistrySQLite store(file);
        forEachType([&](auto stored, auto fallback) {
            store.setValue("global", "k", stored);
            VERIFY_READ(store, "global", "k", fallback, fallback);
        });
    }
    QFile in(file);
    QCOMPARE(in.open(QIODevice::ReadOnly), !content.isEmpty());
    if (in.isOpen())
        QVERIFY(in.readAll() == content);
}

void TestRegistry::instanceLivesInDataDirectory()
{
    const QString data = tarvik::dataDirectory();
    QVERIFY(!QFileInfo::exists(data));

    Registry* registry = Registry::instance();
    QVERIFY(registry);
    QCOMPARE(Registry::instance(), registry);
    QVERIFY(QFileInfo(tarvik::usersDirectory()).isDir());
    QVERIFY(QFileInfo(tarvik::cacheDirectory()).isDir());
    QCOMPARE(tablesOf(data + "/registry.db").size(), 5);

    registry->setValue("global", "launched", true);
    {
        RegistrySQLite other(data + "/registry.db");
        QCOMPARE(other.getValue("global", "launched", false), true);
        other.setValue("global", "count", 2);
    }
    // Closing a second store on the file must not take the instance's connection with it.
    QCOMPARE(registry->getValue("global", "count", 0), 2);
}

TARVIK_TEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
