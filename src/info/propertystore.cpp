#include "info/propertystore.h"

#include <QSettings>

namespace vistrel {

namespace {

// Settings files give back every value as text, so "false" must equal a default of false.
bool sameValue(const QVariant &value, const QVariant &defaultValue)
{
    if (value.typeId() == defaultValue.typeId())
        return value == defaultValue;
    if (defaultValue.typeId() == QMetaType::Bool) {
        const std::optional<bool> flag = storedBool(value);
        return flag && *flag == defaultValue.toBool();
    }
    return value == defaultValue;
}

} // namespace

QVariant MapPropertyStore::readProperty(const QString &key, const QVariant &defaultValue) const
{
    return m_values.value(key, defaultValue);
}

void MapPropertyStore::writeProperty(const QString &key, const QVariant &value,
                                     const QVariant &defaultValue)
{
    if (sameValue(value, defaultValue))
        m_values.remove(key);
    else
        m_values.insert(key, value);
}

SettingsPropertyStore::SettingsPropertyStore(QSettings &settings, QString group)
    : m_settings(settings), m_group(std::move(group))
{}

QString SettingsPropertyStore::path(const QString &key) const
{
    return m_group.isEmpty() ? key : m_group + QLatin1Char('/') + key;
}

QVariant SettingsPropertyStore::readProperty(const QString &key, const QVariant &defaultValue) const
{
    return m_settings.value(path(key), defaultValue);
}

void SettingsPropertyStore::writeProperty(const QString &key, const QVariant &value,
                                          const QVariant &defaultValue)
{
    if (sameValue(value, defaultValue))
        m_settings.remove(path(key));
    else
        m_settings.setValue(path(key), value);
}

std::optional<bool> storedBool(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toLongLong() != 0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1") ||
            text == QLatin1String("-1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> storedText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return std::nullopt;
    }
}

} // namespace vistrel
