#include "calibration/TfEditData.h"

#include "calibration/ValueText.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "worksheet/PointMarkers.h"
#include "widgets/TPictureView.h"
#include "worksheet/DocumentChanges.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QKeyEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>

#include "widgets/TUpDown.h"

namespace cvg {

namespace {

constexpr QRgb kMarkerRed = 0xFF0000;

bool onlyLeft(const QMouseEvent* event)
{
    return event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier;
}

} // namespace

// ---- digitizer --------------------------------------------------------------------

TDigitizer::TDigitizer(TfrmMain& main) : QObject(&main), main_(main)
{
    TPaintBox* box = main_.pbGraph();
    box->setCursor(Qt::CrossCursor);
    box->setMouseTracking(true);
    box->onPaint = [this](QPainter& painter) { pbGraphOnPaint(painter); };
    // The platform asks for a context menu at the right press (or at the
    // release): popMarker opens for a press that prepared it.
    box->onContextMenu = [this](const QPoint& globalPos) {
        if (!popupPending_)
            return false;
        popupPending_ = false;
        main_.menu(QStringLiteral("popMarker"))->popup(globalPos);
        return true;
    };
    connect(box, &TPaintBox::mousePressed, this,
            [this](QMouseEvent* e) { main_.runCommand([this, e] { pbGraphMouseDown(e); }); });
    connect(box, &TPaintBox::mouseMoved, this,
            [this](QMouseEvent* e) { main_.runCommand([this, e] { pbGraphMouseMove(e); }); });
    connect(box, &TPaintBox::mouseReleased, this,
            [this](QMouseEvent* e) { main_.runCommand([this, e] { pbGraphMouseUp(e); }); });
    connect(box, &TPaintBox::keyPressed, this,
            [this](QKeyEvent* e) { main_.runCommand([this, e] { pbGraphKeyDown(e); }); });
    connect(box, &TPaintBox::mouseLeft, this, [this] { main_.hideLoupe(); });
}

bool TDigitizer::warnUnlessReady(bool forEdit)
{
    Dialogs& dialogs = main_.context().dialogs;
    if (!main_.doc().state.pictureLoaded) {
        dialogs.warning(QStringLiteral("画像が読み込まれていません。"));
        return false;
    }
    if (!main_.doc().calibration.Converted) {
        dialogs.warning(QStringLiteral("換算値が計算されていません。"));
        return false;
    }
    if (forEdit && main_.action(QStringLiteral("acDeformationData"))->isChecked()) {
        dialogs.warning(QStringLiteral("換算値を計算中です。"));
        return false;
    }
    return true;
}

void TDigitizer::DoDataCovertExecute()
{
    QAction* digitize = main_.action(QStringLiteral("DoDataCovert"));
    // The action toggles its check itself when clicked; the rule decides.
    const bool wasChecked = !digitize->isChecked();
    digitize->setChecked(wasChecked);
    if (!warnUnlessReady(false))
        return;
    ToolWindows* windows = main_.toolWindows();
    main_.action(QStringLiteral("ShowTraceWindow"))->setChecked(false);
    main_.action(QStringLiteral("EditData"))->setChecked(false);
    windows->hidePointEditor();
    if (!wasChecked) {
        digitize->setChecked(true);
        main_.action(QStringLiteral("acDeformationData"))->setChecked(false);
    } else {
        digitize->setChecked(false);
    }
}

void TDigitizer::EditDataExecute()
{
    QAction* edit = main_.action(QStringLiteral("EditData"));
    const bool wasChecked = !edit->isChecked();
    edit->setChecked(wasChecked);
    if (!warnUnlessReady(true))
        return;
    if (PointCount(main_.doc().sheets.currentPage()) < 1) {
        main_.context().dialogs.warning(QStringLiteral("編集するデータがありません。"));
        return;
    }
    main_.action(QStringLiteral("ShowTraceWindow"))->setChecked(false);
    main_.action(QStringLiteral("DoDataCovert"))->setChecked(false);
    edit->setChecked(!wasChecked);
    TfEditData* editor = main_.toolWindows()->fEditData;
    if (!wasChecked) {
        editor->show();
        editor->raise();
    } else {
        editor->hide();
    }
}

void TDigitizer::acDeleteMarkerExecute()
{
    Worksheets& sheets = main_.doc().sheets;
    sheets.selectionStart = sheets.selectionEnd = sheets.currentRow;
    main_.DataCutExecute();
}

void TDigitizer::showMarkerAt(int x, int row)
{
    marker_ = {x, row};
    paintRequest_ = true;
    main_.pbGraph()->update();
}

void TDigitizer::pbGraphOnPaint(QPainter& painter)
{
    if (!paintRequest_ && !dragging_)
        return;
    paintRequest_ = false;
    const int c = currentSize;
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    painter.setBrush(QColor(255, 0, 0));
    // Right and bottom edges exclusive: 2c + 1 pixels, outline included,
    // the same size on the view at every zoom.
    const QPoint at = main_.pbGraph()->toView(marker_);
    painter.drawRect(QRect(at.x() - c, at.y() - c, 2 * c, 2 * c));
    markerShown_ = true;
}

bool TDigitizer::redShownAt(int x, int row) const
{
    const int c = currentSize;
    // The red square is measured on the view, where it keeps its size.
    const TPaintBox* box = main_.pbGraph();
    const QPoint at = box->toView({x, row}), centre = box->toView(marker_);
    if ((markerShown_ || paintRequest_) && std::abs(at.x() - centre.x()) < c && std::abs(at.y() - centre.y()) < c)
        return true;
    const QImage& shown = main_.shownPicture();
    if (x < 0 || row < 0 || x >= shown.width() || row >= shown.height())
        return false;
    const uchar* p = shown.constScanLine(row) + 3 * x;
    return (qRgb(p[0], p[1], p[2]) & 0xFFFFFF) == kMarkerRed;
}

void TDigitizer::pbGraphMouseDown(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int x = pos.x(), row = pos.y();
    Document& doc = main_.doc();
    bool appended = false;
    if (event->button() == Qt::LeftButton && onlyLeft(event)) {
        const bool onMarker = redShownAt(x, row);
        if (onMarker)
            dragging_ = true;
        // A press on the red marker starts a drag; it does not also add a point.
        if (main_.action(QStringLiteral("DoDataCovert"))->isChecked() && !onMarker) {
            const int height = main_.shownPicture().height();
            if (!DigitizePoint(doc, {x, height - row})) {
                main_.context().dialogs.warning(
                    QStringLiteral("このワークシートにはこれ以上データを追加できません（上限 1000000 点）。"));
            } else {
                appended = true;
                main_.imImage()->addMark({x, height - row}, x, row, generalSize);
                if (main_.toolWindows())
                    main_.toolWindows()->overviewRefresh();
                main_.MarkModified();
            }
        }
    } else if (event->button() == Qt::RightButton && event->modifiers() == Qt::NoModifier) {
        main_.action(QStringLiteral("acDeleteMarker"))->setVisible(redShownAt(x, row));
        popupPending_ = true;
    }
    // A drag may have left the page out of X order: sorting it is a step too.
    const bool sorted = SortAfterPress(doc);
    if (sorted)
        main_.MarkModified();
    if (sorted || appended)
        main_.pointsChanged();
}

void TDigitizer::pbGraphMouseMove(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int x = pos.x(), row = pos.y();
    const int height = main_.shownPicture().height();
    const int y = height - row;
    Document& doc = main_.doc();
    WorksheetPage& page = doc.sheets.currentPage();
    const int count = PointCount(page);
    if (main_.action(QStringLiteral("EditData"))->isChecked()) {
        const int current = doc.sheets.currentRow;
        if (dragging_) {
            if (current >= 1 && current <= count) {
                Point p = page.points[size_t(current) - 1];
                const Qt::KeyboardModifiers mods = event->modifiers();
                bool changed = false;
                if (event->buttons() == Qt::LeftButton && mods == Qt::NoModifier) {
                    marker_ = {x, row};
                    p = {x, y};
                    changed = true;
                } else if (event->buttons() == Qt::LeftButton && mods == Qt::ShiftModifier) {
                    // The moved coordinate becomes a whole pixel; the other keeps its fraction.
                    marker_.setY(row);
                    p.Y = y;
                    p.fracY = 0;
                    changed = true;
                } else if (event->buttons() == Qt::LeftButton && mods == Qt::ControlModifier) {
                    marker_.setX(x);
                    p.X = x;
                    p.fracX = 0;
                    changed = true;
                }
                if (changed) {
                    MovePoint(doc, current, p);
                    moved_ = true;
                    main_.pbGraph()->update();
                    main_.pointsChanged();
                    main_.SelectSheetRow(current);
                    main_.MarkModified();
                }
            }
        } else if (count >= 1) {
            // The last matching row wins: search from the end.
            int match = 0;
            for (int r = count; r >= 1 && match == 0; --r) {
                const Point& p = page.points[size_t(r) - 1];
                if (p.X == x && p.Y == y)
                    match = r;
            }
            if (match > 0) {
                doc.sheets.currentRow = match;
                main_.SelectSheetRow(match);
                showMarkerAt(x, row);
            }
        }
    }
    if (main_.toolWindows())
        main_.toolWindows()->centreScope(x, row);
    // In the point-edit mode the loupe follows the cursor.
    if (main_.action(QStringLiteral("EditData"))->isChecked())
        main_.showLoupe(x, row);
    else
        main_.hideLoupe();
    if (main_.settings().showDataInfo) {
        if (doc.calibration.Converted)
            main_.lblConvertedCoodinate()->setText(ValueText(ConvertX(doc.calibration, x)) + QLatin1Char(' ')
                                                   + ValueText(ConvertY(doc.calibration, y)));
        else
            main_.lblConvertedCoodinate()->clear();
        main_.lblCoordinate()->setText(QStringLiteral("%1 %2").arg(x).arg(y));
    }
}

void TDigitizer::pbGraphMouseUp(QMouseEvent*)
{
    dragging_ = false;
    // The moves of this drag are one step; the next drag makes its own.
    main_.doc().history.seal();
    if (moved_) {
        moved_ = false;
        if (PointCount(main_.doc().sheets.currentPage()) >= 1)
            rebuildWithSquares();
    }
}

void TDigitizer::rebuildWithSquares()
{
    main_.redrawSquaresOnly();
}

void TDigitizer::pbGraphKeyDown(QKeyEvent* event)
{
    const QPoint step = TPaintBox::arrowStep(event->key());
    const int dx = step.x(), dy = step.y();
    if (step.isNull())
        return;
    if (!main_.action(QStringLiteral("EditData"))->isChecked())
        return;
    Worksheets& sheets = main_.doc().sheets;
    WorksheetPage& page = sheets.currentPage();
    const int current = sheets.currentRow;
    if (current < 1 || current > PointCount(page))
        return;
    event->accept();
    // As a drag by one pixel: the point, its marker, the row, the modified
    // mark, and the picture rebuilt as after a drag.
    Point p = page.points[size_t(current) - 1];
    const int height = main_.pictureHeight();
    const int width = main_.imImage()->pictureSize().width();
    // Like a drag, a key keeps the point on the picture.
    if ((dx != 0 && (p.X + dx < 0 || p.X + dx >= width)) || (dy != 0 && (p.Y + dy < 1 || p.Y + dy > height)))
        return;
    p.X += dx;
    p.Y += dy;
    // Through the history, so that undo takes the keys back (the presses on
    // one point merge into one step, as the moves of one drag do).
    MovePoint(main_.doc(), current, p);
    marker_ = {p.X, height - p.Y};
    paintRequest_ = true;
    main_.pointsChanged();
    main_.SelectSheetRow(current);
    main_.MarkModified();
    rebuildWithSquares();
    showMarkerAt(marker_.x(), marker_.y());
    if (main_.toolWindows())
        main_.toolWindows()->centreScope(marker_.x(), marker_.y());
    main_.showLoupe(marker_.x(), marker_.y());
}

// ---- point editor ------------------------------------------------------------------------

TfEditData::TfEditData(TfrmMain& main, AppContext& context, TDigitizer& digitizer)
    : TToolWindow(&main, context, QStringLiteral("Edit"), {0, 0},
                  Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint)
    , main_(main)
    , digitizer_(digitizer)
{
    setObjectName(QStringLiteral("fEditData"));
    setWindowTitle(QStringLiteral("数値編集"));
    // Placed as the dialog was designed: a 249 x 84 client area.
    auto* caption = new QLabel(QStringLiteral("選択座標"), this);
    caption->setGeometry(8, 10, 56, 18);
    for (int axis = 0; axis < 2; ++axis) {
        auto* field = new QLineEdit(QStringLiteral("0"), this);
        field->setObjectName(QString::fromLatin1(axis == 0 ? "edtX" : "edtY"));
        field->setGeometry(66 + 84 * axis, 8, 60, 21);
        auto* ud = new TUpDown(this);
        ud->setObjectName(QString::fromLatin1(axis == 0 ? "udX" : "udY"));
        ud->setRange(0, 10000);
        ud->setWrapping(false);
        ud->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        ud->setProperty("tag", axis + 1);
        // Only the arrows of the up-down are used; the field beside it holds the text.
        ud->setGeometry(126 + 84 * axis, 8, 18, 21);
        ud->field()->hide();
        (axis == 0 ? edtX_ : edtY_) = field;
        (axis == 0 ? udX_ : udY_) = ud;
        connect(ud, &QSpinBox::valueChanged, this, [this, axis] {
            if (!programmatic_)
                main_.runCommand([this, axis] { udClick(axis == 0); });
        });
        connect(field, &QLineEdit::textChanged, this, [this] { edtChange(); });
        // The arrows step from what the field holds, typed or shown.
        connect(field, &QLineEdit::textEdited, this, [this, axis] { followField(axis == 0); });
        connect(field, &QLineEdit::returnPressed, this,
                [this, axis] { main_.runCommand([this, axis] { edtReturn(axis == 0); }); });
    }
    butPrevious_ = new QPushButton(QStringLiteral("<<"), this);
    butPrevious_->setObjectName(QStringLiteral("butPrevious"));
    butPrevious_->setGeometry(8, 33, 40, 23);
    butNext_ = new QPushButton(QStringLiteral(">>"), this);
    butNext_->setObjectName(QStringLiteral("butNext"));
    butNext_->setGeometry(50, 33, 40, 23);
    butDelete_ = new QPushButton(QStringLiteral("削除(&D)"), this);
    butDelete_->setObjectName(QStringLiteral("butDelete"));
    butDelete_->setGeometry(166, 33, 75, 23);
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("butClose"));
    close->setGeometry(166, 58, 75, 23);
    auto* help = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    help->setObjectName(QStringLiteral("butHelp"));
    help->setGeometry(8, 58, 75, 23);
    // Enter in a field writes that field; no button of the window takes it.
    for (QPushButton* button : {butPrevious_, butNext_, butDelete_, close, help})
        button->setAutoDefault(false);
    setFixedSize(249, 84);
    connect(butPrevious_, &QPushButton::clicked, this, [this] { main_.runCommand([this] { butOnClick(-1); }); });
    connect(butNext_, &QPushButton::clicked, this, [this] { main_.runCommand([this] { butOnClick(1); }); });
    connect(butDelete_, &QPushButton::clicked, this, [this] { main_.runCommand([this] { butDeleteClick(); }); });
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    connect(help, &QPushButton::clicked, this, [this] {
        if (main_.toolWindows())
            main_.toolWindows()->ShowHelpTopic(QStringLiteral("DialogEdit.htm"));
        stayOnTop();
    });
}

void TfEditData::showRow(int row)
{
    const std::vector<Point>& points = main_.doc().sheets.currentPage().points;
    if (row < 1 || size_t(row) > points.size()) {
        clearFields();
        return;
    }
    showPoint(points[size_t(row) - 1]);
}

void TfEditData::showPoint(const Point& p)
{
    edtX_->setText(QString::number(p.X));
    edtY_->setText(QString::number(p.Y));
    programmatic_ = true;
    udX_->setValue(p.X);
    udY_->setValue(p.Y);
    programmatic_ = false;
}

void TfEditData::clearFields()
{
    edtX_->clear();
    edtY_->clear();
}

void TfEditData::placeMarkerFromUpDowns()
{
    digitizer_.showMarkerAt(udX_->value(), main_.pictureHeight() - udY_->value());
}

void TfEditData::showEvent(QShowEvent* event)
{
    TToolWindow::showEvent(event);
    showRow(main_.currentGridRow());
    placeMarkerFromUpDowns();
}

void TfEditData::udClick(bool isX)
{
    // The up-down's position goes into its field, then the field into the cell.
    (isX ? edtX_ : edtY_)->setText(QString::number((isX ? udX_ : udY_)->value()));
    writeCell(isX, (isX ? udX_ : udY_)->value());
}

void TfEditData::followField(bool isX)
{
    bool ok = false;
    const int value = (isX ? edtX_ : edtY_)->text().trimmed().toInt(&ok);
    if (!ok)
        return;
    programmatic_ = true;
    (isX ? udX_ : udY_)->setValue(value);
    programmatic_ = false;
}

void TfEditData::edtReturn(bool isX)
{
    QLineEdit* field = isX ? edtX_ : edtY_;
    bool ok = false;
    const int value = field->text().trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 10000) {
        context_.dialogs.warning(QStringLiteral("0 から 10000 までの整数を入力してください。"));
        return;
    }
    field->setText(QString::number(value));
    followField(isX);
    writeCell(isX, value);
}

void TfEditData::writeCell(bool isX, int value)
{
    const int row = main_.currentGridRow();
    WorksheetPage& page = main_.doc().sheets.currentPage();
    if (row >= 1 && row <= PointCount(page)) {
        Point p = page.points[size_t(row) - 1];
        // The edited coordinate becomes the whole pixel typed; the other keeps its fraction.
        if (isX) {
            p.X = value;
            p.fracX = 0;
        } else {
            p.Y = value;
            p.fracY = 0;
        }
        MovePoint(main_.doc(), row, p);
        main_.pointsChanged();
    }
    digitizer_.rebuildWithSquares();
    if (main_.toolWindows())
        main_.toolWindows()->centreScope(udX_->value(), main_.pictureHeight() - udY_->value());
    placeMarkerFromUpDowns();
    main_.MarkModified();
}

void TfEditData::butOnClick(int tag)
{
    const int target = main_.currentGridRow() + tag;
    if (target > 0)
        main_.SelectSheetRow(target);
}

void TfEditData::butDeleteClick()
{
    Worksheets& sheets = main_.doc().sheets;
    sheets.selectionStart = sheets.selectionEnd = main_.currentGridRow();
    main_.DataCutExecute();
    showRow(main_.currentGridRow());
    placeMarkerFromUpDowns();
}

void TfEditData::edtChange()
{
    const bool on = !(edtX_->text().isEmpty() && edtY_->text().isEmpty());
    udX_->setEnabled(on);
    udY_->setEnabled(on);
    butDelete_->setEnabled(on);
}

void TfEditData::onClosed()
{
    digitizer_.showMarkerAt(-10, -10);
    main_.action(QStringLiteral("EditData"))->setChecked(false);
}

// ---- marker sizes ---------------------------------------------------------------------------

TfMarker::TfMarker(TfrmMain& main, AppContext& context, TDigitizer& digitizer)
    : TToolWindow(&main, context, QStringLiteral("Mark"), {0, 0, 3, 3},
                  Qt::Dialog | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , main_(main)
    , digitizer_(digitizer)
{
    setObjectName(QStringLiteral("fMarker"));
    setWindowTitle(QStringLiteral("マーカ・サイズ"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("一般マーカ"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("選択マーカ"), this), 1, 0);
    for (int tag = 0; tag < 2; ++tag) {
        auto* ud = new TUpDown(this);
        ud->setObjectName(QString::fromLatin1(tag == 0 ? "udGeneral" : "udCurrent"));
        ud->field()->setObjectName(QString::fromLatin1(tag == 0 ? "edtGeneral" : "edtCurrent"));
        ud->field()->setReadOnly(true);
        ud->setRange(1, 5);
        ud->setWrapping(false);
        ud->setProperty("tag", tag);
        grid->addWidget(ud, tag, 1);
        (tag == 0 ? udGeneral_ : udCurrent_) = ud;
        connect(ud, &QSpinBox::valueChanged, this, [this, tag](int value) {
            (tag == 0 ? digitizer_.generalSize : digitizer_.currentSize) = value;
            setStoredExtra(tag, value);
        });
    }
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("butClose"));
    auto* help = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    help->setObjectName(QStringLiteral("butHelp"));
    grid->addWidget(close, 2, 0);
    grid->addWidget(help, 2, 1);
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    connect(help, &QPushButton::clicked, this, [this] {
        if (main_.toolWindows())
            main_.toolWindows()->ShowHelpTopic(QStringLiteral("DialogMarker.htm"));
        stayOnTop();
    });
    // Sizes outside 1..5 in a stored value are pulled into range.
    digitizer_.generalSize = std::clamp(storedExtra(0), 1, 5);
    digitizer_.currentSize = std::clamp(storedExtra(1), 1, 5);
    udGeneral_->setValue(digitizer_.generalSize);
    udCurrent_->setValue(digitizer_.currentSize);
}

void TfMarker::showEvent(QShowEvent* event)
{
    TToolWindow::showEvent(event);
    udGeneral_->setValue(digitizer_.generalSize);
    udCurrent_->setValue(digitizer_.currentSize);
}

void TfMarker::onClosed()
{
    main_.RedrawPointMarkers(main_.settings().connectLine != 0);
    main_.action(QStringLiteral("MakerSizeConfigularion"))->setChecked(false);
    setStoredExtra(0, digitizer_.generalSize);
    setStoredExtra(1, digitizer_.currentSize);
}

void TfMarker::MakerSizeConfigularionExecute()
{
    QAction* act = main_.action(QStringLiteral("MakerSizeConfigularion"));
    if (!isVisible()) {
        show();
        raise();
        act->setChecked(true);
    } else {
        hide();
        act->setChecked(false);
    }
}

} // namespace cvg
