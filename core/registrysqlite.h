#pragma once

#include "core/registry.h"

class QSqlDatabase;
class QVariant;

namespace tarvik {

// Registry on an SQLite file with one table per value type. Every call goes to the file;
// nothing is cached.
class RegistrySQLite : public Registry
{
public:
    explicit RegistrySQLite(const QString& fileName);

    void setValue(const QString& path, const QString& key, double value) override;
    void setValue(const QString& path, const QString& key, float value) override;
    void setValue(const QString& path, const QString& key, int value) override;
    void setValue(const QString& path, const QString& key, const char* value) override;
    void setValue(const QString& path, const QString& key, const QString& value) override;
    void setValue(const QString& path, const QString& key, bool value) override;

    double getValue(const QString& path, const QString& key, double defaultValue) override;
    float getValue(const QString& path, const QString& key, float defaultValue) override;
    int getValue(const QString& path, const QString& key, int defaultValue) override;
    QString getValue(const QString& path, const QString& key, const char* defaultValue) override;
    QString getValue(const QString& path, const QString& key, const QString& defaultValue) override;
    bool getValue(const QString& path, const QString& key, bool defaultValue) override;

    ~RegistrySQLite() override;

private:
    Q_DISABLE_COPY(RegistrySQLite)

    void write(const char* statement, const QString& path, const QString& key,
               const QVariant& value);
    QVariant read(const char* statement, const QString& path, const QString& key) const;

    QSqlDatabase* mDatabase = nullptr;
};

} // namespace tarvik
