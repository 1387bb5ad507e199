#include "image/TfrmScope.h"

#include "image/Overview.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "calibration/TfDeform.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>

namespace cvg {

TScopeView::TScopeView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("imScope"));
    setFixedSize(kScopeSize, kScopeSize);
}

void TScopeView::setPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

void TScopeView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgb(kScopeBackground));
    if (!picture_.isNull())
        p.drawImage(0, 0, picture_);
}

void TScopeView::mousePressEvent(QMouseEvent* event)
{
    event->accept(); // the release that follows is ours
}

void TScopeView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

TfrmScope::TfrmScope(TfrmMain& main, AppContext& context)
    : TToolWindow(&main, context, QStringLiteral("Scope"), { 0, 0, kDefaultCrosshair }, kToolWindowFlags)
    , main_(main)
{
    setObjectName(QStringLiteral("frmScope"));
    setWindowTitle(QStringLiteral("拡大表示"));
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor::fromRgb(kScopeBackground));
    setPalette(silver);
    setAutoFillBackground(true);
    imScope_ = new TScopeView(this);
    imScope_->move(0, 0);
    setFixedSize(kScopeSize, kScopeSize);
    connect(imScope_, &TScopeView::clicked, this, [this] { main_.runCommand([this] { imScopeClick(); }); });
}

const QImage& TfrmScope::sourcePicture() const
{
    const Document& doc = main_.doc();
    if (!doc.calibration.Converted)
        return doc.images.workingImage;
    ToolWindows* windows = main_.toolWindows();
    if (windows && windows->fDeform && windows->fDeform->isVisible())
        return doc.images.workingImage;
    return doc.images.correctedImage;
}

void TfrmScope::MakeScopeImage(int x, int y)
{
    centre_ = QPoint(x, y);
    imScope_->setPicture(makeScopeImage(sourcePicture(), x, y, crosshairColor()));
}

void TfrmScope::ShowScopeWindowExecute()
{
    QAction* act = main_.action(QStringLiteral("ShowScopeWindow"));
    if (!main_.doc().state.pictureLoaded) {
        act->setChecked(isVisible());
        context_.dialogs.warning(QStringLiteral("グラフが読み込まれていません。"));
        return;
    }
    if (isVisible()) {
        // Hiding by the action is a close too: place and colour are kept.
        writeSettings();
        hide();
    } else {
        show();
    }
    act->setChecked(isVisible());
}

void TfrmScope::imScopeClick()
{
    const std::optional<QColor> chosen = context_.dialogs.chooseColor(colorFromBgr(crosshairColor()));
    if (!chosen)
        return;
    setStoredExtra(0, bgrFromColor(*chosen));
    if (centre_)
        MakeScopeImage(centre_->x(), centre_->y());
}

void TfrmScope::onClosed()
{
    main_.action(QStringLiteral("ShowScopeWindow"))->setChecked(false);
}

} // namespace cvg
