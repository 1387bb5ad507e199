#pragma once

#include "worksheet/Point.h"

#include <QImage>
#include <QString>

namespace cvg {

struct Calibration;
struct Document;

// The changes of the document made outside the edit menu, each one step of
// the history. Steps are named by the caption of the command that makes them.
inline const QString kDigitizeCaption = QStringLiteral("座標指定");
inline const QString kEditPointCaption = QStringLiteral("数値編集");
inline const QString kAddSheetCaption = QStringLiteral("追加(&A)");
inline const QString kInsertSheetCaption = QStringLiteral("挿入(&I)");
inline const QString kDeleteSheetCaption = QStringLiteral("削除(&D)");
inline const QString kRenameSheetCaption = QStringLiteral("ワークシート名変更(&N)");
inline const QString kTraceCaption = QStringLiteral("線指定(&L)");
inline const QString kMagnificationCaption = QStringLiteral("拡大・縮小");
inline const QString kRevertResizeCaption = QStringLiteral("拡大・縮小 戻す(&R)");
inline const QString kCalibrateCaption = QStringLiteral("歪修正と換算値計算");
inline const QString kCalibrationResetCaption = QStringLiteral("歪修正データの初期化");
inline const QString kCalibrationPlacedCaption = QStringLiteral("歪修正データの指定");

// A point picked on the picture goes after the last row of the current page,
// and the page is put in X order again if the point broke it. False when the
// page is full.
bool DigitizePoint(Document& doc, Point point);
// After a press on the picture a page out of X order (left so by a drag) is
// sorted again; true when it was.
bool SortAfterPress(Document& doc);
// The point in row (1-based) of the current page moves, by a drag or the
// point editor. The moves of one point make one step until the history is
// sealed (at the end of a drag) or another step comes between.
void MovePoint(Document& doc, int row, Point point);

// Page commands on the current page, each one step.
bool AddNewSheet(Document& doc);
bool InsertNewSheet(Document& doc);
bool DeleteCurrentSheet(Document& doc);
void RenameCurrentSheet(Document& doc, const QString& caption);

// Points the caller has written: into the current page, which was empty, or
// into a page it added (now current). pageBefore is the page current before.
void RecordNewPoints(Document& doc, int pageBefore, bool newPage, const QString& label);

// The calibration dialog changed the calibration; before is what it was.
// Adjustments of one kind (the drag of a marker, typing into a value) merge.
void RecordCalibration(Document& doc, const Calibration& before);
QString CalibrationChangeLabel(const Calibration& before, const Calibration& after);

// The magnification dialog: a resized picture adopted, and its own undo of
// the last adopted resize (false when none is in force).
void AdoptResizedPicture(Document& doc, const QImage& picture);
bool RevertResize(Document& doc);

} // namespace cvg
