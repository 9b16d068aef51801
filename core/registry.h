#pragma once

#include <QString>

namespace tarvik {

// Typed settings kept per (path, key). Each value type is a setting of its own: an int and a
// bool under the same path and key do not see each other.
class Registry
{
public:
    // The process-wide store, made on the first call and kept until the process ends.
    static Registry* instance();

    virtual void setValue(const QString& path, const QString& key, double value) = 0;
    virtual void setValue(const QString& path, const QString& key, float value) = 0;
    virtual void setValue(const QString& path, const QString& key, int value) = 0;
    // Without this form a string literal would silently become a bool.
    virtual void setValue(const QString& path, const QString& key, const char* value) = 0;
    virtual void setValue(const QString& path, const QString& key, const QString& value) = 0;
    virtual void setValue(const QString& path, const QString& key, bool value) = 0;

    virtual double getValue(const QString& path, const QString& key, double defaultValue) = 0;
    virtual float getValue(const QString& path, const QString& key, float defaultValue) = 0;
    virtual int getValue(const QString& path, const QString& key, int defaultValue) = 0;
    virtual QString getValue(const QString& path, const QString& key, const char* defaultValue) = 0;
    virtual QString getValue(const QString& path, const QString& key,
                             const QString& defaultValue) = 0;
    virtual bool getValue(const QString& path, const QString& key, bool defaultValue) = 0;

    virtual ~Registry();

protected:
    Registry() = default;

private:
    Q_DISABLE_COPY(Registry)
};

} // namespace tarvik
