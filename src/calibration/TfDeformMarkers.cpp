// The reference markers on the picture: placed from a dragged rectangle,
// dragged one by one, shared or separate, with their guide lines.
#include "calibration/CorrectDistortion.h"
#include "calibration/TfDeform.h"
#include "calibration/ValueText.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

namespace cvg {

namespace {

constexpr int kMarkerSize = 21;
constexpr int kMarkerCentre = 10;

const char* const kMarkerCaptionsShared[4] = {"縦軸上側座標", "縦軸・横軸共有座標", "使用しない", "横軸右側座標"};
const char* const kMarkerCaptionsSeparate[4] = {"縦軸上側座標", "縦軸下側座標", "横軸左側座標", "横軸右側座標"};

} // namespace

QPixmap deformMarkerPicture()
{
    QImage image(kMarkerSize, kMarkerSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QRgb red = qRgb(255, 0, 0);
    for (int i = 0; i < kMarkerSize; ++i)
        for (int w = kMarkerCentre - 1; w <= kMarkerCentre + 1; ++w) {
            image.setPixel(i, w, red);
            image.setPixel(w, i, red);
        }
    // The white centre lets the point itself show; white counts as opaque white
    // in the picture, then made transparent like the rest of the white.
    for (int y = kMarkerCentre - 1; y <= kMarkerCentre + 1; ++y)
        for (int x = kMarkerCentre - 1; x <= kMarkerCentre + 1; ++x)
            image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return QPixmap::fromImage(image);
}

TMarkImage::TMarkImage(QWidget* parent, int index) : QLabel(parent), index_(index)
{
    setObjectName(QStringLiteral("imMark%1").arg(index));
    setPixmap(deformMarkerPicture());
    setFixedSize(kMarkerSize, kMarkerSize);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setProperty("tag", index);
    hide();
}

// ---- markers ---------------------------------------------------------------------

void TfDeform::PlaceMarker(int index, int32_t x, int32_t y, bool visible, const QString& caption)
{
    TMarkImage* mark = markers_[size_t(index)];
    mark->pointX = x;
    mark->pointY = y;
    // The centre pixel of the cross covers the point; being a child of the
    // scrolled area the marker moves with the picture.
    const QPoint at = main_.imImage()->pos() + main_.imImage()->scale().toView(QPoint(x, pictureHeight() - y));
    mark->move(at.x() - kMarkerCentre, at.y() - kMarkerCentre);
    mark->setToolTip(caption);
    mark->setVisible(visible);
    if (visible)
        mark->raise();
}

void TfDeform::replaceMarkers()
{
    // The zoom changed: each marker goes back onto its pixel.
    for (TMarkImage* mark : markers_)
        PlaceMarker(mark->index(), mark->pointX, mark->pointY, mark->isVisibleTo(mark->parentWidget()),
                    mark->toolTip());
}

void TfDeform::MoveMarker(int index, int32_t x, int32_t y)
{
    TMarkImage* mark = markers_[size_t(index)];
    PlaceMarker(index, x, y, mark->isVisibleTo(mark->parentWidget()), mark->toolTip());
    Calibration& c = cal();
    c.ScreenPoints[size_t(index)] = {x, pictureHeight() - y};
    if (cbJoint_->isChecked()) {
        if (index == 1)
            c.ScreenPoints[2] = c.ScreenPoints[1];
        else if (index == 2)
            c.ScreenPoints[1] = c.ScreenPoints[2];
    }
    main_.pbPaint()->update();
}

void TfDeform::ShowSharedMarkers()
{
    for (int i = 0; i < 4; ++i)
        PlaceMarker(i, cal().SourcePoints[size_t(i)].x, cal().SourcePoints[size_t(i)].y, i != 2,
                    QString::fromUtf8(kMarkerCaptionsShared[i]));
    setJointSilently(true);
}

void TfDeform::ShowSeparateMarkers()
{
    for (int i = 0; i < 4; ++i)
        PlaceMarker(i, cal().SourcePoints[size_t(i)].x, cal().SourcePoints[size_t(i)].y, true,
                    QString::fromUtf8(kMarkerCaptionsSeparate[i]));
    setJointSilently(false);
}

void TfDeform::HideMarkers()
{
    for (TMarkImage* mark : markers_)
        mark->hide();
}

void TfDeform::ScreenPointsFromSource()
{
    const int height = pictureHeight();
    for (size_t i = 0; i < 4; ++i)
        cal().ScreenPoints[i] = {cal().SourcePoints[i].x, height - cal().SourcePoints[i].y};
}

void TfDeform::centreScope(int x, int row)
{
    if (main_.toolWindows())
        main_.toolWindows()->centreScope(x, row);
}

// ---- reset, entering the mode ------------------------------------------------------

void TfDeform::ResetCalibration()
{
    cvg::ResetCalibration(cal());
    // The box shows sharing again, and the flag follows it.
    cal().Shared = true;
    HideMarkers();
    main_.pbPaint()->update();
    setLogSilently(cbYLog_, false);
    setLogSilently(cbXLog_, false);
    setJointSilently(true);
    setInputsEnabled(true);
    setUpDownsFromSource();
    setValueFieldsFromSource();
}

void TfDeform::showUncorrectedForCalibration()
{
    main_.setShownPicture(main_.doc().images.workingImage);
    main_.FitPaintBox(main_.pbPaint());
    main_.pbGraph()->hide();
    main_.pbPaint()->show();
    main_.pbPaint()->raise();
}

void TfDeform::acDeformationDataExecute()
{
    QAction* act = main_.action(QStringLiteral("acDeformationData"));
    if (!main_.doc().state.pictureLoaded) {
        act->setChecked(false);
        context_.dialogs.warning(QStringLiteral("画像が読み込まれていません。"));
        return;
    }
    if (isVisible()) {
        // Hidden without the close steps: the mouse still selects rectangles.
        act->setChecked(false);
        hide();
        return;
    }
    main_.action(QStringLiteral("EditData"))->setChecked(false);
    if (main_.toolWindows())
        main_.toolWindows()->hidePointEditor();
    act->setChecked(true);
    showUncorrectedForCalibration();
    ScreenPointsFromSource();
    if (cal().Converted || cal().PointsSpecified)
        showMarkersFromSource();
    show();
    raise();
}

// ---- rectangle selection ---------------------------------------------------------------

void TfDeform::pbPaintMouseDown(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (cal().PointsSpecified) {
        if (context_.dialogs.ask(QStringLiteral("既に歪修正データは指定されています。新規に指定しますか？")) != MsgResult::Yes)
            return;
        if (context_.dialogs.ask(QStringLiteral("既に指定されている歪修正データは破棄されます。よろしいですか？"))
            != MsgResult::Yes)
            return;
        ResetCalibration();
        return;
    }
    selecting_ = true;
    selectionStart_ = selectionEnd_ = event->position().toPoint();
}

void TfDeform::pbPaintMouseMove(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (selecting_) {
        selectionEnd_ = pos;
        QScrollArea* box = main_.sbImage();
        QScrollBar* h = box->horizontalScrollBar();
        QScrollBar* v = box->verticalScrollBar();
        const QPoint view = main_.pbPaint()->toView(pos);
        const int vx = view.x() - h->value();
        const int vy = view.y() - v->value();
        if (vx > box->width() - 50)
            h->setValue(h->value() + h->singleStep());
        else if (vx < 50)
            h->setValue(h->value() - h->singleStep());
        if (vy > box->height() - 50)
            v->setValue(v->value() + v->singleStep());
        else if (vy < 50)
            v->setValue(v->value() - v->singleStep());
        ScreenPointsFromSelection();
        main_.pbPaint()->update();
    }
    centreScope(pos.x(), pos.y());
    main_.showLoupe(pos.x(), pos.y());
    if (main_.settings().showDataInfo) {
        main_.lblConvertedCoodinate()->clear();
        main_.lblCoordinate()->setText(QStringLiteral("%1 %2").arg(pos.x()).arg(pictureHeight() - pos.y()));
    }
}

void TfDeform::pbPaintMouseUp(QMouseEvent*)
{
    if (!selecting_)
        return;
    selecting_ = false;
    if (cal().PointsSpecified)
        return;
    if (selectionStart_.x() == selectionEnd_.x() || selectionStart_.y() == selectionEnd_.y()) {
        context_.dialogs.info(QStringLiteral("座標は指定されませんでした。\r\nもう一度座標を指定してください。"));
        return;
    }
    if (context_.dialogs.ask(QStringLiteral("指定された座標を歪修正データとして採用しますか？\r\n\r\n"
                                            "座標は、マーカを移動することで修正できます。"))
        == MsgResult::Yes) {
        PointsFromSelection();
        ScreenPointsFromSelection();
        if (cal().Shared)
            ShowSharedMarkers();
        else
            ShowSeparateMarkers();
        setUpDownsFromSource();
        setValueFieldsFromSource();
    } else {
        ResetCalibration();
    }
    main_.pbPaint()->update();
}

void TfDeform::PointsFromSelection()
{
    const int left = std::min(selectionStart_.x(), selectionEnd_.x());
    const int right = std::max(selectionStart_.x(), selectionEnd_.x());
    const int top = std::min(selectionStart_.y(), selectionEnd_.y());
    const int bottom = std::max(selectionStart_.y(), selectionEnd_.y());
    const int h = pictureHeight();
    const int s = cal().Shared ? 0 : 20;
    auto& p = cal().SourcePoints;
    p[YUpper].x = left, p[YUpper].y = h - top;
    p[YLower].x = left, p[YLower].y = h - bottom + s;
    p[XLeft].x = left + s, p[XLeft].y = h - bottom;
    p[XRight].x = right, p[XRight].y = h - bottom;
    cal().PointsSpecified = true;
}

void TfDeform::ScreenPointsFromSelection()
{
    const int left = std::min(selectionStart_.x(), selectionEnd_.x());
    const int right = std::max(selectionStart_.x(), selectionEnd_.x());
    const int top = std::min(selectionStart_.y(), selectionEnd_.y());
    const int bottom = std::max(selectionStart_.y(), selectionEnd_.y());
    const int s = cal().Shared ? 0 : 20;
    auto& p = cal().ScreenPoints;
    p[YUpper] = {left, top};
    p[YLower] = {left, bottom - s};
    p[XLeft] = {left + s, bottom};
    p[XRight] = {right, bottom};
}

void TfDeform::paintGuideLines(QPainter& painter)
{
    QPen pen(QColor(255, 0, 0), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Inverting, so the lines show on any colour.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const auto& p = cal().ScreenPoints;
    const TPaintBox* box = main_.pbPaint();
    auto at = [&](size_t i) { return box->toView(QPoint(p[i].x, p[i].row)); };
    painter.drawLine(at(YUpper), at(YLower));
    painter.drawLine(at(XLeft), at(XRight));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---- marker drag -----------------------------------------------------------------------

void TfDeform::markerPressed(TMarkImage* mark, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || cal().Converted)
        return;
    dragging_ = true;
    grabPoint_ = event->position().toPoint();
    // The arrow keys move this marker from now on.
    selectedMarker_ = mark->index();
    main_.pbPaint()->setFocus(Qt::MouseFocusReason);
}

void TfDeform::setMarkerPixel(size_t i, int x, int y)
{
    TMarkImage* mark = markers_[i];
    mark->pointX = x;
    mark->pointY = y;
    const QPoint at = main_.imImage()->pos() + main_.imImage()->scale().toView(QPoint(x, pictureHeight() - y));
    mark->move(at.x() - kMarkerCentre, at.y() - kMarkerCentre);
    Calibration& c = cal();
    c.SourcePoints[i].x = x;
    c.SourcePoints[i].y = y;
    c.ScreenPoints[i] = {x, pictureHeight() - y};
    programmatic_ = true;
    udX_[i]->setValue(x);
    udY_[i]->setValue(y);
    if (cbJoint_->isChecked() && i == 1) {
        c.SourcePoints[2].x = c.SourcePoints[1].x;
        c.SourcePoints[2].y = c.SourcePoints[1].y;
        c.ScreenPoints[2] = c.ScreenPoints[1];
        udX_[2]->setValue(x);
        udY_[2]->setValue(y);
    }
    programmatic_ = false;
    main_.pbPaint()->update();
}

void TfDeform::markerMoved(TMarkImage* mark, QMouseEvent* event)
{
    const size_t i = size_t(mark->index());
    if (dragging_) {
        // The grabbed pixel stays under the cursor; the marker's centre
        // lands on the picture pixel shown there.
        const QPoint centre = mark->pos() + (event->position().toPoint() - grabPoint_)
                              + QPoint(kMarkerCentre, kMarkerCentre) - main_.imImage()->pos();
        const QPoint pixel = main_.imImage()->scale().toPixel(centre);
        setMarkerPixel(i, pixel.x(), pictureHeight() - pixel.y());
        main_.showLoupe(pixel.x(), pixel.y());
    }
    centreScope(cal().ScreenPoints[i].x, cal().ScreenPoints[i].row);
}

void TfDeform::pbPaintKeyDown(QKeyEvent* event)
{
    const QPoint step = TPaintBox::arrowStep(event->key());
    const int dx = step.x(), dy = step.y();
    if (step.isNull())
        return;
    if (selectedMarker_ < 0 || cal().Converted)
        return;
    TMarkImage* mark = markers_[size_t(selectedMarker_)];
    if (!mark->isVisibleTo(mark->parentWidget()))
        return;
    event->accept();
    const int x = mark->pointX + dx, y = mark->pointY + dy;
    const QSize picture = main_.imImage()->pictureSize();
    if (x < 0 || x >= picture.width() || y < 1 || y > picture.height())
        return;
    setMarkerPixel(size_t(selectedMarker_), x, y);
    const auto& p = cal().ScreenPoints[size_t(selectedMarker_)];
    centreScope(p.x, p.row);
    main_.showLoupe(p.x, p.row);
}

} // namespace cvg
