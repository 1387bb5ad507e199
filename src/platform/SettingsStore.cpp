#include "platform/SettingsStore.h"

#include <QSettings>

namespace cvg {

namespace {
const QString kGroup = QStringLiteral("Curvegleaner32");
}

QSettingsStore::QSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Velmoran"), QStringLiteral("Curvegleaner32")))
{
}

QSettingsStore::~QSettingsStore() = default;

bool QSettingsStore::available() const
{
    return settings_->status() == QSettings::NoError && settings_->isWritable();
}

std::optional<QByteArray> QSettingsStore::value(const QString& name) const
{
    if (!available())
        return std::nullopt;
    const QVariant v = settings_->value(kGroup + QLatin1Char('/') + name);
    if (!v.isValid() || v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return v.toByteArray();
}

bool QSettingsStore::setValue(const QString& name, const QByteArray& bytes)
{
    if (!available())
        return false;
    settings_->setValue(kGroup + QLatin1Char('/') + name, bytes);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString QSettingsStore::fileName() const { return settings_->fileName(); }

} // namespace cvg
