#include "image/metafile/Canvas.h"

#include "image/metafile/Geometry.h"

#include <algorithm>
#include <QImage>

namespace cvg::metafile {

namespace {

// Saved drawing states beyond this many are not kept (real files nest a few).
constexpr size_t kMaxSavedStates = 4096;

} // namespace

Canvas::Canvas(QImage& picture, const QTransform& deviceToPicture, QSizeF devicePerMm)
    : picture_(picture)
    , deviceToPicture_(deviceToPicture)
    , devicePerMm_(devicePerMm)
{
    const double w = picture.width();
    const double h = picture.height();
    const double side = std::max(w, h);
    pictureRect_ = QRectF(0, 0, w, h);
    // Far enough out that nothing cut away there (with the widest pen we
    // allow) could reach the picture.
    const double margin = 2 * side + 2048;
    limitBox_ = QRectF(-margin, -margin, w + 2 * margin, h + 2 * margin);
    penWidthCap_ = 2 * side + 64;
    // Enough for many full-picture fills and a great many small shapes.
    budget_ = 128.0 * w * h + double(1 << 28);
    state_.clip = QRegion(0, 0, picture.width(), picture.height());
    painter_ = std::make_unique<QPainter>(&picture_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
}

Canvas::~Canvas()
{
    finish();
}

void Canvas::finish()
{
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

bool Canvas::charge(double cost)
{
    if (failed_)
        return false;
    budget_ -= std::max(0.0, cost);
    if (!(budget_ >= 0)) {
        failed_ = true;
        return false;
    }
    return true;
}

std::optional<GdiObject> Canvas::stockObject(uint32_t number)
{
    auto brush = [](uint32_t style, QRgb color) {
        Brush b;
        b.style = style;
        b.color = color;
        return GdiObject(b);
    };
    auto pen = [](uint32_t style, QRgb color) {
        Pen p;
        p.style = style;
        p.color = color;
        return GdiObject(p);
    };
    auto font = [](const char* face) {
        Font f;
        f.faceName = QString::fromLatin1(face);
        return GdiObject(f);
    };
    switch (number) {
    case 0:
    case 18: // DC brush
        return brush(kBsSolid, qRgb(255, 255, 255));
    case 1:
        return brush(kBsSolid, qRgb(0xC0, 0xC0, 0xC0));
    case 2:
        return brush(kBsSolid, qRgb(0x80, 0x80, 0x80));
    case 3:
        return brush(kBsSolid, qRgb(0x40, 0x40, 0x40));
    case 4:
        return brush(kBsSolid, qRgb(0, 0, 0));
    case 5:
        return brush(kBsNull, qRgb(0, 0, 0));
    case 6:
        return pen(kPsSolid, qRgb(255, 255, 255));
    case 7:
    case 19: // DC pen
        return pen(kPsSolid, qRgb(0, 0, 0));
    case 8:
        return pen(kPsNull, qRgb(0, 0, 0));
    case 10:
    case 11:
    case 16:
        return font("Monospace");
    case 12:
    case 13:
    case 14:
    case 17:
        return font("");
    case 15:
        return GdiObject(Palette {});
    default:
        return std::nullopt;
    }
}

// ---- Saved states ---------------------------------------------------------

void Canvas::saveDc()
{
    if (saved_.size() >= kMaxSavedStates)
        return;
    saved_.push_back(state_);
}

void Canvas::restoreDc(int which)
{
    const qint64 count = qint64(saved_.size());
    const qint64 index = which < 0 ? count + which : qint64(which) - 1;
    if (which == 0 || index < 0 || index >= count)
        return;
    state_ = saved_[size_t(index)];
    saved_.resize(size_t(index));
    transformChanged();
}

} // namespace cvg::metafile
