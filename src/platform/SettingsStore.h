#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <memory>
#include <optional>

class QSettings;

namespace cvg {

// The per-user key "\Software\Velmoran\Curvegleaner32" with one fixed-size
// binary value per window.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // False when the key cannot be opened or created: nothing is then read or written.
    virtual bool available() const = 0;
    virtual std::optional<QByteArray> value(const QString& name) const = 0;
    // Written through at once, so a crash later loses nothing already stored.
    virtual bool setValue(const QString& name, const QByteArray& bytes) = 0;
};

// One INI file per user (organisation "Velmoran", application
// "Curvegleaner32"); QSettings replaces the file atomically on every write.
class QSettingsStore final : public SettingsStore {
public:
    QSettingsStore();
    ~QSettingsStore() override;
    bool available() const override;
    std::optional<QByteArray> value(const QString& name) const override;
    bool setValue(const QString& name, const QByteArray& bytes) override;
    QString fileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

// For tests and for runs that must not touch the user's settings.
class MemorySettingsStore final : public SettingsStore {
public:
    bool available() const override { return available_; }
    std::optional<QByteArray> value(const QString& name) const override
    {
        if (!available_ || !values_.contains(name))
            return std::nullopt;
        return values_.value(name);
    }
    bool setValue(const QString& name, const QByteArray& bytes) override
    {
        if (!available_)
            return false;
        values_.insert(name, bytes);
        ++writes_;
        return true;
    }
    void setAvailable(bool on) { available_ = on; }
    const QMap<QString, QByteArray>& values() const { return values_; }
    int writeCount() const { return writes_; }

private:
    bool available_ = true;
    QMap<QString, QByteArray> values_;
    int writes_ = 0;
};

} // namespace cvg
