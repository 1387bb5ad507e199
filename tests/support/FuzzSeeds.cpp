#include "FuzzSeeds.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace cvg::test {

void keepSeed(const char* target, const QByteArray& input)
{
    static const QString root = qEnvironmentVariable("CVG_FUZZ_SEEDS");
    // Large inputs slow every fuzzing run down more than they add.
    if (root.isEmpty() || input.size() > 256 * 1024)
        return;
    const QString folder = root + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(folder);
    const QString name
        = QString::fromLatin1(QCryptographicHash::hash(input, QCryptographicHash::Sha1).toHex());
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.write(input);
}

void keepSeed(const char* target, const QString& text)
{
    keepSeed(target, text.toUtf8());
}

} // namespace cvg::test
