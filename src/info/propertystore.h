#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

class QSettings;

namespace vistrel {

// Where a control keeps its own properties between loads of its host window. A value equal to
// its default is never stored, so an instance left at its defaults leaves the store empty.
class PropertyStore
{
public:
    virtual ~PropertyStore() = default;
    // The stored value, or defaultValue when the key holds nothing.
    virtual QVariant readProperty(const QString &key, const QVariant &defaultValue) const = 0;
    // Stores value, or removes the key when value equals defaultValue.
    virtual void writeProperty(const QString &key, const QVariant &value,
                               const QVariant &defaultValue) = 0;
};

// A store over a plain map: a host's design data held in memory.
class MapPropertyStore final : public PropertyStore
{
public:
    MapPropertyStore() = default;
    explicit MapPropertyStore(QVariantMap values) : m_values(std::move(values)) {}

    QVariant readProperty(const QString &key, const QVariant &defaultValue) const override;
    void writeProperty(const QString &key, const QVariant &value,
                       const QVariant &defaultValue) override;
    const QVariantMap &values() const { return m_values; }

private:
    QVariantMap m_values;
};

// A store over one group of a QSettings file; the settings object must outlive the store.
class SettingsPropertyStore final : public PropertyStore
{
public:
    SettingsPropertyStore(QSettings &settings, QString group);

    QVariant readProperty(const QString &key, const QVariant &defaultValue) const override;
    void writeProperty(const QString &key, const QVariant &value,
                       const QVariant &defaultValue) override;

private:
    QString path(const QString &key) const;

    QSettings &m_settings;
    QString m_group;
};

// Strict readings of stored values. QVariant's own conversions turn almost anything into a
// Boolean or a text; a stored value that is neither must be noticed, not taken as true.
std::optional<bool> storedBool(const QVariant &value);
std::optional<QString> storedText(const QVariant &value);

} // namespace vistrel
