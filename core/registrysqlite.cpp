#include "core/registrysqlite.h"

#include "core/appdirs.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <new>

namespace tarvik {

namespace {

const char* const createStatements[] = {
    "CREATE TABLE IF NOT EXISTS 'boolean' ('path' TEXT, 'key' TEXT, 'value' SMALLINT, "
    "PRIMARY KEY ('path', 'key'));",
    "CREATE TABLE IF NOT EXISTS 'string' ('path' TEXT, 'key' TEXT, 'value' TEXT, "
    "PRIMARY KEY ('path', 'key'));",
    "CREATE TABLE IF NOT EXISTS 'integer' ('path' TEXT, 'key' TEXT, 'value' INTEGER, "
    "PRIMARY KEY ('path', 'key'));",
    "CREATE TABLE IF NOT EXISTS 'float' ('path' TEXT, 'key' TEXT, 'value' REAL, "
    "PRIMARY KEY ('path', 'key'));",
    "CREATE TABLE IF NOT EXISTS 'double' ('path' TEXT, 'key' TEXT, 'value' DOUBLE, "
    "PRIMARY KEY ('path', 'key'));",
};

const char* const writeBoolean =
    "INSERT OR REPLACE INTO boolean ('path', 'key', 'value') VALUES (?, ?, ?);";
const char* const writeString =
    "INSERT OR REPLACE INTO string ('path', 'key', 'value') VALUES (?, ?, ?);";
const char* const writeInteger =
    "INSERT OR REPLACE INTO integer ('path', 'key', 'value') VALUES (?, ?, ?);";
const char* const writeFloat =
    "INSERT OR REPLACE INTO float ('path', 'key', 'value') VALUES (?, ?, ?);";
const char* const writeDouble =
    "INSERT OR REPLACE INTO double ('path', 'key', 'value') VALUES (?, ?, ?);";

// Path and key are bound, never pasted into the text: a quote in either must neither break
// the statement nor change what it selects.
const char* const readBoolean = "SELECT value FROM boolean WHERE path=? AND key=?";
const char* const readString = "SELECT value FROM string WHERE path=? AND key=?";
const char* const readInteger = "SELECT value FROM integer WHERE path=? AND key=?";
const char* const readFloat = "SELECT value FROM float WHERE path=? AND key=?";
const char* const readDouble = "SELECT value FROM double WHERE path=? AND key=?";

// A null QString binds as SQL NULL, which matches nothing and never collides in the primary
// key, so each write under it would add a row that no read finds. Null means empty here.
QString bindable(const QString& text)
{
    return text.isNull() ? QString::fromLatin1("") : text;
}

// The shared default name when it is free. Taking it from a store that still holds it would
// cut that store's connection, so a second store gets a name of its own.
QString freeConnectionName()
{
    const QString standard = QString::fromLatin1(QSqlDatabase::defaultConnection);
    if (!QSqlDatabase::contains(standard))
        return standard;
    for (int n = 1;; ++n) {
        const QString name = standard + QLatin1Char('-') + QString::number(n);
        if (!QSqlDatabase::contains(name))
            return name;
    }
}

// SQLite takes a file too short to hold a page for a new, empty database and writes over it.
// Anything already there that does not begin with SQLite's header is someone's data: keep off.
bool foreignFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.exists() || file.size() == 0)
        return false;
    if (!file.open(QIODevice::ReadOnly))
        return true;
    static const QByteArray header("SQLite format 3\0", 16);
    return file.read(header.size()) != header;
}

// SQLite opens any file and only objects at the first statement. A file that is not a
// database, or one that is damaged, is left exactly as it is; a busy one is only late.
bool unfitForWriting(const QSqlDatabase& database)
{
    QSqlQuery query(database);
    if (query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return false;
    const QString code = query.lastError().nativeErrorCode(); // SQLITE_NOTADB, SQLITE_CORRUPT
    return code == QLatin1String("26") || code == QLatin1String("11");
}

bool stillRegistered(const QSqlDatabase& database)
{
    const QString name = database.connectionName();
    if (name.isEmpty() || !QSqlDatabase::contains(name))
        return false;
    return QSqlDatabase::database(name, false).driver() == database.driver();
}

} // namespace

RegistrySQLite::RegistrySQLite(const QString& fileName) : mDatabase(new (std::nothrow) QSqlDatabase)
{
    debugLog(QStringLiteral("Registry file: ") + fileName);
    if (!mDatabase)
        return;
    const QString driver = QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return;
    if (foreignFile(fileName))
        return;
    *mDatabase = QSqlDatabase::addDatabase(driver, freeConnectionName());
    mDatabase->setDatabaseName(fileName);
    if (!mDatabase->open())
        return;
    if (unfitForWriting(*mDatabase)) {
        mDatabase->close();
        return;
    }
    QSqlQuery query(*mDatabase);
    for (const char* statement : createStatements)
        query.exec(QString::fromLatin1(statement));
}

RegistrySQLite::~RegistrySQLite()
{
    if (!mDatabase)
        return;
    if (mDatabase->isOpen())
        mDatabase->close();
    // Unregistering frees the name for the next store; it must wait until no handle is left.
    const QString name = mDatabase->connectionName();
    const bool registered = stillRegistered(*mDatabase);
    delete mDatabase;
    mDatabase = nullptr;
    if (registered)
        QSqlDatabase::removeDatabase(name);
}

void RegistrySQLite::write(const char* statement, const QString& path, const QString& key,
                           const QVariant& value)
{
    // Queries on a closed connection fail anyway, but complain on stderr each time.
    if (!mDatabase || !mDatabase->isOpen())
        return;
    QSqlQuery query(*mDatabase);
    if (!query.prepare(QString::fromLatin1(statement)))
        return;
    query.bindValue(0, bindable(path));
    query.bindValue(1, bindable(key));
    query.bindValue(2, value);
    query.exec();
}

QVariant RegistrySQLite::read(const char* statement, const QString& path, const QString& key) const
{
    if (!mDatabase || !mDatabase->isOpen())
        return QVariant();
    QSqlQuery query(*mDatabase);
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromLatin1(statement)))
        return QVariant();
    query.bindValue(0, bindable(path));
    query.bindValue(1, bindable(key));
    if (!query.exec() || !query.next())
        return QVariant();
    return query.value(QStringLiteral("value"));
}

void RegistrySQLite::setValue(const QString& path, const QString& key, double value)
{
    write(writeDouble, path, key, QVariant(value));
}

void RegistrySQLite::setValue(const QString& path, const QString& key, float value)
{
    write(writeFloat, path, key, QVariant(value));
}

void RegistrySQLite::setValue(const QString& path, const QString& key, int value)
{
    write(writeInteger, path, key, QVariant(value));
}

void RegistrySQLite::setValue(const QString& path, const QString& key, const char* value)
{
    // A virtual call, so an override of the QString form sees these writes too.
    setValue(path, key, QString::fromUtf8(value));
}

void RegistrySQLite::setValue(const QString& path, const QString& key, const QString& value)
{
    write(writeString, path, key, QVariant(value));
}

void RegistrySQLite::setValue(const QString& path, const QString& key, bool value)
{
    write(writeBoolean, path, key, QVariant(value));
}

double RegistrySQLite::getValue(const QString& path, const QString& key, double defaultValue)
{
    bool ok = false;
    const double value = read(readDouble, path, key).toDouble(&ok);
    return ok ? value : defaultValue;
}

float RegistrySQLite::getValue(const QString& path, const QString& key, float defaultValue)
{
    bool ok = false;
    const float value = read(readFloat, path, key).toFloat(&ok);
    return ok ? value : defaultValue;
}

int RegistrySQLite::getValue(const QString& path, const QString& key, int defaultValue)
{
    bool ok = false;
    const int value = read(readInteger, path, key).toInt(&ok);
    return ok ? value : defaultValue;
}

QString RegistrySQLite::getValue(const QString& path, const QString& key, const char* defaultValue)
{
    return getValue(path, key, QString::fromUtf8(defaultValue));
}

QString RegistrySQLite::getValue(const QString& path, const QString& key,
                                 const QString& defaultValue)
{
    const QVariant value = read(readString, path, key);
    return value.isValid() ? value.toString() : defaultValue;
}

bool RegistrySQLite::getValue(const QString& path, const QString& key, bool defaultValue)
{
    const QVariant value = read(readBoolean, path, key);
    return value.isValid() ? value.toBool() : defaultValue;
}

} // namespace tarvik
