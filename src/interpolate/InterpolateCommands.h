#pragma once

#include "interpolate/Interpolate.h"

#include <QObject>
#include <QString>

namespace cvg {

class TfrmMain;
class TfrmSpline;

// The texts the interpolation commands show.
inline const QString kNoPictureToInterpolate = QStringLiteral("画像が読み込まれていません。");
inline const QString kNoPointsToInterpolate = QStringLiteral("ワークシートに座標データがありません。");
inline const QString kTwoPointsNeeded = QStringLiteral("補間処理には２つ以上の座標データが必要です。");
inline const QString kSplineFallbackQuestion
    = QStringLiteral("データ数が不足するため、曲線に適した数値補間をすることができません。\r\n"
                     "直線に適した数値補間で処理を続けますか？");
inline const QString kSortFirstQuestion
    = QStringLiteral("補間処理の前に、ソートする必要があります。\r\nソート処理を行いますか？");
inline const QString kDuplicateXError
    = QStringLiteral("Xに同じ値を持つ座標が存在します。\r\n補間処理を行う前に削除する必要があります。");
inline const QString kAdoptQuestion = QStringLiteral("計算された補間値を採用しますか？");
inline const QString kInterpolationFailed = QStringLiteral("補間処理中にエラーが発生しました");

// The two interpolation commands of the main window and the engine they
// share (ipSpline). They fill the gaps between the current page's points
// into a new page and ask whether to keep it.
class InterpolateCommands final : public QObject {
    Q_OBJECT
public:
    InterpolateCommands(TfrmMain& main, TfrmSpline& settings);

    void acLinerInterpolationExecute() { interpolate(false); }
    void acSquareInterpolateExecute() { interpolate(true); }

    TInterpolate& ipSpline() { return ipSpline_; }

private:
    // Runs the checks in order, builds the new page and asks for adoption.
    void interpolate(bool spline);

    TfrmMain& main_;
    TfrmSpline& settings_;
    TInterpolate ipSpline_;
};

} // namespace cvg
