#pragma once

#include "widgets/TToolWindow.h"

#include <QImage>
#include <optional>

namespace cvg {

class TfrmMain;

// The scope's picture: the enlarged square, or the window's silver when
// nothing was shown yet; a click asks for the crosshair colour.
class TScopeView final : public QWidget {
    Q_OBJECT
public:
    explicit TScopeView(QWidget* parent);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

// The scope window: a 20 x 20 square of the picture around the position of
// interest, enlarged to 110 x 110, with a crosshair in a colour of the
// user's choice.
class TfrmScope final : public TToolWindow {
    Q_OBJECT
public:
    TfrmScope(TfrmMain& main, AppContext& context);

    // Centres the scope on picture column x and row y (from the top).
    void MakeScopeImage(int x, int y);
    // Main window action "拡大表示窓(&S)".
    void ShowScopeWindowExecute();
    // Click on the picture: the colour chooser for the crosshair.
    void imScopeClick();

    // 00BBGGRR
    int32_t crosshairColor() const { return storedExtra(0); }
    TScopeView* imScope() const { return imScope_; }

protected:
    void onClosed() override;

private:
    // The picture the scope looks at, by the state of the calibration.
    const QImage& sourcePicture() const;

    TfrmMain& main_;
    TScopeView* imScope_ = nullptr;
    std::optional<QPoint> centre_;
};

} // namespace cvg
