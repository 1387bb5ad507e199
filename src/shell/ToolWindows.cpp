#include "shell/ToolWindows.h"

#include "calibration/TfDeform.h"
#include "calibration/TfEditData.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "widgets/TPictureView.h"

#include <functional>
#include <QAction>
#include <QKeyEvent>

namespace cvg {

// ---- the set of windows ----------------------------------------------------------

ToolWindows::ToolWindows(TfrmMain& main, AppContext& context) : main_(main)
{
    // The creation order is the order in which the stored values are read.
    frmScope = createScopeWindow(main, context);
    frmVersion = createVersionWindow(main, context);
    fDirectory = new TfDirectory(&main, context);
    fImage = createOverviewWindow(main, context);
    fDeform = new TfDeform(main, context);
    fMagnification = createMagnificationWindow(main, context);
    frmSpline = createSplineWindow(main, context);
    frmTrace = createTraceWindow(main, context);
    digitizer = new TDigitizer(main);
    fEditData = new TfEditData(main, context, *digitizer);
    fMarker = new TfMarker(main, context, *digitizer);
    frmSheet = createSheetWindow(main, context);
    connectActions();
}

void ToolWindows::connectActions()
{
    TfrmMain& main = main_;
    auto bind = [&main](const char* name, std::function<void()> handler) {
        QObject::connect(main.action(QString::fromLatin1(name)), &QAction::triggered, &main,
                         [&main, handler] { main.runCommand(handler); });
    };
    bind("acDeformationData", [this] { fDeform->acDeformationDataExecute(); });
    bind("DoDataCovert", [this] { digitizer->DoDataCovertExecute(); });
    bind("EditData", [this] { digitizer->EditDataExecute(); });
    bind("acDeleteMarker", [this] { digitizer->acDeleteMarkerExecute(); });
    bind("MakerSizeConfigularion", [this] { fMarker->MakerSizeConfigularionExecute(); });

    connectViewActions();
    connectHelpActions();
    connectTraceActions();

    TPaintBox* paint = main.pbPaint();
    paint->setCursor(Qt::CrossCursor);
    paint->setMouseTracking(true);
    paint->onPaint = [this](QPainter& painter) { fDeform->paintGuideLines(painter); };
    QObject::connect(paint, &TPaintBox::mousePressed, fDeform,
                     [this](QMouseEvent* e) { fDeform->runEdit([this, e] { fDeform->pbPaintMouseDown(e); }); });
    QObject::connect(paint, &TPaintBox::mouseMoved, fDeform,
                     [this](QMouseEvent* e) { fDeform->runEdit([this, e] { fDeform->pbPaintMouseMove(e); }); });
    QObject::connect(paint, &TPaintBox::mouseReleased, fDeform,
                     [this](QMouseEvent* e) { fDeform->runEdit([this, e] { fDeform->pbPaintMouseUp(e); }); });
    QObject::connect(paint, &TPaintBox::keyPressed, fDeform,
                     [this](QKeyEvent* e) { fDeform->runEdit([this, e] { fDeform->pbPaintKeyDown(e); }); });
    QObject::connect(paint, &TPaintBox::mouseLeft, fDeform, [this] { main_.hideLoupe(); });
}

void ToolWindows::viewScaleChanged()
{
    fDeform->replaceMarkers();
    overviewFrame();
}

bool ToolWindows::handlesCheckedAction(const QString& name) const
{
    static const QStringList handled = {QStringLiteral("acDeformationData"), QStringLiteral("DoDataCovert"),
                                        QStringLiteral("EditData")};
    return handled.contains(name);
}

void ToolWindows::documentRestored()
{
    fDeform->calibrationRestored();
    if (fEditData->isVisible())
        fEditData->showRow(main_.currentGridRow());
}

void ToolWindows::clearPointEditor()
{
    if (fEditData->isVisible())
        fEditData->clearFields();
}

void ToolWindows::hidePointEditor()
{
    fEditData->hide();
}

void ToolWindows::resetCurrentMarker()
{
    digitizer->showMarkerAt(0, 0);
}

void ToolWindows::showCurrentPoint(const Point& point)
{
    if (fEditData->isVisible())
        fEditData->showPoint(point);
    const int row = main_.pictureHeight() - point.Y;
    digitizer->showMarkerAt(point.X, row);
    centreScope(point.X, row);
}

void ToolWindows::HideMarkers()
{
    fDeform->HideMarkers();
}

ToolWindows::~ToolWindows() = default; // the main window owns them as children

int ToolWindows::generalMarkerSize() const
{
    return digitizer->generalSize;
}

void ToolWindows::hideForNewDocument(TfrmMain& main)
{
    const std::pair<const char*, QWidget*> pairs[] = {
        {"EditData", fEditData}, {"acDeformationData", fDeform}, {"ImageWindow", fImage}};
    for (const auto& [name, window] : pairs) {
        QAction* act = main.action(QString::fromLatin1(name));
        if (act->isChecked()) {
            act->setChecked(false);
            window->hide();
        }
    }
}

void ToolWindows::hideForDrop(TfrmMain& main)
{
    main.action(QStringLiteral("acDeformationData"))->setChecked(false);
    fDeform->hide();
    main.action(QStringLiteral("ImageWindow"))->setChecked(false);
    fImage->hide();
    fEditData->hide();
}

void ToolWindows::showDirectoryDialog()
{
    fDirectory->exec();
}

void ToolWindows::closeAll()
{
    // The program ends: every shown window keeps its place for the next run,
    // but no window asks its questions now (the main window asked already).
    for (QWidget* child : main_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        auto* window = qobject_cast<TToolWindow*>(child);
        if (window && window->isVisible()) {
            window->writeSettings();
            window->hide();
        }
    }
    frmVersion->hide();
}

} // namespace cvg
