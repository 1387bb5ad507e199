// The program's windows, offscreen, opening a picture file and straightening
// it as a user would: the picture is opened as from the command line, the
// calibration mode is entered, the four reference points are set as the
// markers would set them, "実行" is pressed and the correction accepted.
// bench/open-straighten-memory runs it under /usr/bin/time -v for the peak
// memory.
//
//   OpenStraighten --write PICTURE.bmp|.jpg [SIDE]   draws a graph and writes it
//   OpenStraighten PICTURE [--turned]                opens and straightens it
#include "calibration/TfDeform.h"
#include "image/BmpCodec.h"
#include "image/ImageSet.h"
#include "image/JpegCodec.h"
#include "platform/Dialogs.h"
#include "platform/FileIO.h"
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// A person who says yes: every question is answered Yes, every box OK.
class YesDialogs final : public cvg::Dialogs {
public:
    cvg::MsgResult message(const cvg::MessageRequest& request) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return request.buttons == cvg::MsgButtons::OK ? cvg::MsgResult::OK : cvg::MsgResult::Yes;
    }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override { return {}; }
    cvg::FileDialogResult openFile(const cvg::FileDialogRequest&) override { return {}; }
    cvg::FileDialogResult saveFile(const cvg::FileDialogRequest&) override { return {}; }
    std::optional<QString> chooseFolder(const QString&) override { return {}; }
    std::optional<QColor> chooseColor(const QColor&) override { return {}; }
};

// A scanned-looking graph: grid, axes and a curve on white.
QImage drawGraph(int side)
{
    QImage picture = cvg::newPicture(side, side);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(190, 190, 190), 3));
    for (int i = side / 20; i < side; i += side / 20) {
        p.drawLine(i, 0, i, side);
        p.drawLine(0, i, side, i);
    }
    p.setPen(QPen(Qt::black, 8));
    p.drawLine(side / 10, side - side / 10, side - side / 20, side - side / 10);
    p.drawLine(side / 10, side - side / 10, side / 10, side / 20);
    p.setPen(QPen(QColor(20, 40, 200), 6));
    QPolygonF curve;
    for (int x = side / 10; x < side - side / 20; x += 4)
        curve << QPointF(x, side / 2.0 + side / 3.0 * std::sin(x * 6.0 / side));
    p.drawPolyline(curve);
    return picture;
}

int writePicture(const QString& path, int side)
{
    const QImage picture = drawGraph(side);
    if (path.endsWith(QLatin1String(".jpg"))) {
        QByteArray jpeg;
        if (!cvg::encodeJpeg(picture, jpeg))
            return 2;
        cvg::writeFileReplacing(path, jpeg);
    } else {
        cvg::SaveBmpPicture(path, picture);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--write"))
        return writePicture(args[2], args.size() >= 4 ? args[3].toInt() : 10000);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: OpenStraighten PICTURE [--turned] | --write PICTURE [SIDE]\n");
        return 1;
    }
    const bool turned = args.contains(QLatin1String("--turned"));

    cvg::MemorySettingsStore store;
    YesDialogs dialogs;
    cvg::AppContext context { store, dialogs, QCoreApplication::applicationDirPath() + QLatin1Char('/'), {} };
    auto main = std::make_unique<cvg::TfrmMain>(context);
    auto windows = std::make_unique<cvg::ToolWindows>(*main, context);
    main->setToolWindows(windows.get());
    main->show();
    QApplication::processEvents();

    main->OpenByExtension(args[1], false);
    QApplication::processEvents();
    cvg::Document& doc = main->doc();
    const QSize size = doc.images.workingImage.size();
    if (size.isEmpty()) {
        std::fprintf(stderr, "the picture could not be read\n");
        return 2;
    }

    // The calibration mode, with the markers where a user would put them:
    // on a straight graph the axes are square, on a turned one they lean.
    main->action(QStringLiteral("acDeformationData"))->trigger();
    QApplication::processEvents();
    const int w = size.width(), h = size.height(), lean = turned ? w / 64 : 0;
    cvg::Calibration& cal = doc.calibration;
    cal.SourcePoints[cvg::YLower] = { w / 10, h / 10, 0 };
    cal.SourcePoints[cvg::XLeft] = cal.SourcePoints[cvg::YLower];
    cal.SourcePoints[cvg::XRight] = { w - w / 10, h / 10 - lean, 100 };
    cal.SourcePoints[cvg::YUpper] = { w / 10 + lean, h - h / 10, 100 };
    cal.PointsSpecified = true;
    windows->fDeform->butAccept()->click();
    QApplication::processEvents();

    const QSize corrected = doc.images.correctedImage.size();
    std::printf("picture %d x %d, straightened %d x %d, converted %s\n", w, h, corrected.width(),
        corrected.height(), cal.Converted ? "yes" : "no");
    main->setToolWindows(nullptr);
    windows.reset();
    main.reset();
    return cal.Converted ? 0 : 2;
}
