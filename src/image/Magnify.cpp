#include "image/Magnify.h"

namespace cvg {

namespace {

// Divisors below the same-size entry, multipliers above it.
constexpr int kFactors[kFactorCount] = { 6, 5, 4, 3, 2, 1, 2, 3, 4, 5, 6 };

} // namespace

QString factorText(int index)
{
    if (index < 0 || index >= kFactorCount)
        return {};
    if (index < kSameSizeFactor)
        return QStringLiteral("1/%1倍").arg(kFactors[index]);
    if (index == kSameSizeFactor)
        return QStringLiteral("等倍");
    return QStringLiteral("%1倍").arg(kFactors[index]);
}

int applyFactor(int index, int size)
{
    if (index < 0 || index >= kFactorCount)
        return size;
    if (index < kSameSizeFactor)
        return size / kFactors[index];
    // Pictures are at most 32768 wide, so six times a side still fits.
    return size * kFactors[index];
}

std::optional<int> parseSizeText(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    int i = 0;
    bool negative = false;
    if (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-')) {
        negative = text[0] == QLatin1Char('-');
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > qint64(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return int(value);
}

std::optional<qint64> ratioSide(qint64 typed, int size, int otherSize)
{
    if (size == 0)
        return std::nullopt;
    return qint64(otherSize) * typed / size;
}

bool freeSizeAllowed(qint64 size)
{
    return size >= kMinFreeSize && size <= kMaxFreeSize;
}

QImage resizedPicture(const QImage& working, int width, int height)
{
    QImage picture = newPicture(width, height);
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0)
        return QImage();
    StretchPicture(working, picture);
    return picture;
}

void AdoptResize(ImageSet& images, ResizeRecord& record, const QImage& picture)
{
    images.unresizedImage = images.workingImage;
    images.workingImage = picture;
    images.correctedImage = picture;
    record.resized = true;
    record.width = picture.width();
    record.height = picture.height();
}

bool UndoResize(ImageSet& images, ResizeRecord& record)
{
    if (!record.resized)
        return false;
    images.workingImage = images.unresizedImage;
    record.resized = false;
    record.width = images.workingImage.width();
    record.height = images.workingImage.height();
    return true;
}

} // namespace cvg
