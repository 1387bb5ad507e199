// Undo and redo through the windows, the modified state that follows them,
// and the grid's value columns.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "calibration/CorrectDistortion.h"
#include "calibration/TfDeform.h"
#include "calibration/TfEditData.h"
#include "interpolate/InterpolateCommands.h"
#include "platform/HeadlessDialogs.h"
#include "platform/Progress.h"
#include "trace/TfrmTrace.h"
#include "widgets/TPictureView.h"
#include "worksheet/DocumentFile.h"
#include "worksheet/TSheetGrid.h"
#include "worksheet/TextExport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <random>

using namespace cvg;
using namespace cvg::test;

namespace {

void drag(QWidget* widget, QPoint from, QPoint to)
{
    sendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A graph calibrated with logarithmic axes (X 1 to 1000, Y 0.1 to 100) and
// two pages, the first with points read to fractions of a pixel.
void writeCalibratedDocument(const QString& path)
{
    Document doc;
    doc.reset();
    doc.images.workingImage = drawGraph(400, 300);
    doc.state.pictureLoaded = true;
    Calibration& cal = doc.calibration;
    cal.SourcePoints = {{{40, 285, 100}, {40, 30, 0.1}, {40, 30, 1}, {380, 30, 1000}}};
    cal.XLog = cal.YLog = true;
    NullProgress quiet;
    HeadlessDialogs none;
    ASSERT_TRUE(CorrectDistortion(doc.images.workingImage, cal, doc.images.correctedImage, quiet, none));
    cal.Converted = ConvertData(cal);
    doc.sheets.page(0).points = {Point::atPrecise(60.25, 100.5), {120, 150}, Point::atPrecise(200.75, 220.125)};
    doc.sheets.CreateSheetPage();
    doc.sheets.page(1).points = {{100, 50}, {300, 80}};
    ASSERT_TRUE(WriteDocument(path, doc, quiet));
}

const QString kProtected = QStringLiteral("データは保護されています。データを変更する場合には、初期化ボタンを押してください。");

} // namespace

class UndoHistoryTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        writeCalibratedDocument(path("doc.cvd"));
        start();
        main->show();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
        dialogs.expectOpen({true, path("doc.cvd"), 1});
        trigger("OpenData");
        ASSERT_TRUE(doc().calibration.Converted);
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    Document& doc() { return main->doc(); }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    void check(const char* name, bool on)
    {
        if (main->action(QString::fromLatin1(name))->isChecked() != on)
            trigger(name);
    }
    // Saved as "doc.cvd" in a folder of its own: the file keeps its own
    // name, so every copy names the same one.
    QString save(const char* folder)
    {
        QDir(dir.path()).mkpath(QString::fromLatin1(folder));
        const QString file = dir.filePath(QString::fromLatin1(folder) + QStringLiteral("/doc.cvd"));
        dialogs.expectSave({true, file, 1});
        trigger("SaveData");
        return file;
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods) { QTest::keyClick(main.get(), k, mods); }
    std::vector<Point>& points() { return doc().sheets.currentPage().points; }
    QString modifiedText() const { return main->statusText(1); }

    // The calibration reset in the dialog, placed again by a rectangle, the
    // values typed and executed: several steps.
    void recalibrate();
    // The trace window's transfer, and an interpolation adopted.
    void traceAndInterpolate();

    QTemporaryDir dir;
};

void UndoHistoryTest::recalibrate()
{
    TfDeform* deform = windows->fDeform;
    dialogs.expectInfo(kProtected);
    trigger("acDeformationData");
    dialogs.expectQuestion(QStringLiteral("画像とデータを初期化しますか？"), MsgResult::Yes);
    dialogs.expectQuestion(QStringLiteral("全ての設定されたデータは初期化されます。"), MsgResult::Yes);
    deform->findChild<QPushButton*>(QStringLiteral("butReject"))->click();
    dialogs.expectQuestion(QStringLiteral("指定された座標を歪修正データとして採用しますか？\r\n\r\n座標は、マーカを移動することで修正できます。"),
                           MsgResult::Yes);
    drag(main->pbPaint(), {380, 20}, {45, 268});
    const char* values[4] = {"200", "0.2", "2", "2000"};
    for (int n = 0; n < 4; ++n) {
        deform->edtValue(n)->setText(QString::fromLatin1(values[n]));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_0, Qt::NoModifier, QStringLiteral("0"));
        QApplication::sendEvent(deform->edtValue(n), &release);
    }
    deform->cbXLog()->click();
    dialogs.expectQuestion(QStringLiteral("画像の歪は修正されましたか？"), MsgResult::Yes);
    deform->butAccept()->click();
    ASSERT_TRUE(doc().calibration.Converted);
}

void UndoHistoryTest::traceAndInterpolate()
{
    auto* trace = static_cast<TfrmTrace*>(windows->frmTrace);
    trigger("ShowTraceWindow");
    drag(trace->pbPaint(), {50, 10}, {370, 260});
    trace->findChild<QAction*>(QStringLiteral("acTraceAverage"))->trigger();
    trace->findChild<QAction*>(QStringLiteral("acSaveToGrid"))->trigger();
    trigger("ShowTraceWindow");

    trigger("AddNewSheet");
    check("DoDataCovert", true);
    for (QPoint at : {QPoint(100, 150), QPoint(200, 100), QPoint(300, 120)}) {
        sendMouse(main->pbGraph(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        sendMouse(main->pbGraph(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    dialogs.expectQuestion(kAdoptQuestion, MsgResult::Yes);
    trigger("acLinerInterpolation");
}

TEST_F(UndoHistoryTest, HundredChangesUndoneToTheSavedBytesAndRedone)
{
    const QString opened = save("opened");
    std::mt19937 random(11);
    const int height = main->pictureHeight();
    const int width = doc().images.correctedImage.width();
    for (int i = 0; doc().history.count() < 100; ++i) {
        ASSERT_LT(i, 400);
        Worksheets& sheets = doc().sheets;
        const int count = int(points().size());
        const int row = count > 0 ? 1 + int(random() % unsigned(count)) : 1;
        if (i == 20)
            recalibrate();
        if (i == 40)
            traceAndInterpolate();
        switch (random() % 12) {
        case 0:
        case 1: { // a click in the digitize mode
            check("DoDataCovert", true);
            const QPoint at(int(random() % unsigned(width)), int(random() % unsigned(height)));
            sendMouse(main->pbGraph(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
            sendMouse(main->pbGraph(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
            break;
        }
        case 2: // a point dragged in the point-edit mode
            if (count > 0) {
                check("EditData", true);
                const Point p = points()[size_t(row) - 1];
                const QPoint at(p.X, height - p.Y);
                sendMouse(main->pbGraph(), QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
                drag(main->pbGraph(), at, at + QPoint(int(random() % 9) - 4, int(random() % 9) - 4));
            }
            break;
        case 3: // the point editor's up-down
            if (count > 0) {
                check("EditData", true);
                main->SelectSheetRow(row);
                windows->fEditData->udY()->stepBy(1);
            }
            break;
        case 4:
        case 5: // cut, or copy and paste
            sheets.selectionStart = row;
            sheets.selectionEnd = std::min(count, row + int(random() % 3));
            if (count > 0)
                trigger(random() % 2 ? "DataCut" : "DataCopy");
            sheets.selectionStart = std::min(row, int(points().size()) + 1);
            if (doc().undo.pasteEnabled)
                trigger("DataPaste");
            break;
        case 6:
            if (count > 1 && !IsSortedByX(points())) {
                std::vector<Point> sorted = points();
                SortByX(sorted);
                if (HasDuplicateX(sorted))
                    dialogs.expectWarning(QStringLiteral("Xに同じ値を持つ座標が存在します。\r\n補間処理を行う前に修正してください。"));
                trigger("DataSort");
            }
            break;
        case 7:
            if (count > 0) {
                dialogs.expectQuestion(QStringLiteral("ワークシートに含まれる全てのデータを消去します。\r\n消去しますか？"), MsgResult::Yes);
                trigger("DataAllDelete");
            }
            break;
        case 8:
            trigger(random() % 2 ? "AddNewSheet" : "InsertNewSheet");
            break;
        case 9:
            if (sheets.pageCount() > 1) {
                dialogs.expectQuestion(QStringLiteral("ワークシートを削除しようとしています。\r\n削除しますか？"), MsgResult::Yes);
                trigger("DeleteSheet");
            }
            break;
        case 10:
            dialogs.expectInput(QStringLiteral("系列%1").arg(i));
            trigger("RenameSheet");
            break;
        default: // page switches are no changes of the document
            main->pcSheet()->setCurrentIndex(int(random() % unsigned(sheets.pageCount())));
            break;
        }
        dialogs.verify();
    }
    const QString changed = save("changed");
    const int steps = doc().history.count();

    // Ctrl+Z all the way back: the document written is the one opened.
    for (int i = 0; i < steps; ++i)
        key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(main->action(QStringLiteral("DataUndo"))->isEnabled());
    EXPECT_EQ(main->action(QStringLiteral("DataUndo"))->text(), QStringLiteral("元に戻す(&U) "));
    // The last save was of the changed document.
    EXPECT_EQ(modifiedText(), QStringLiteral("変更あり"));
    EXPECT_EQ(fileBytes(save("undone")), fileBytes(opened));
    EXPECT_EQ(main->pcSheet()->count(), 2);

    // Ctrl+Y and Ctrl+Shift+Z all the way forward again.
    for (int i = 0; i < steps; ++i) {
        if (i % 2)
            key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        else
            key(Qt::Key_Y, Qt::ControlModifier);
    }
    EXPECT_FALSE(main->action(QStringLiteral("DataRedo"))->isEnabled());
    EXPECT_EQ(fileBytes(save("redone")), fileBytes(changed));
    EXPECT_EQ(main->pcSheet()->count(), doc().sheets.pageCount());
}

TEST_F(UndoHistoryTest, ModifiedStateCaptionsAndPagesFollowTheHistory)
{
    check("DoDataCovert", true);
    sendMouse(main->pbGraph(), QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(main->action(QStringLiteral("DataUndo"))->text(), QStringLiteral("元に戻す(&U) 座標指定 [ 1..1 ]"));
    EXPECT_EQ(modifiedText(), QStringLiteral("変更あり"));
    // A page switch keeps the history; undo brings the page of the change back.
    main->pcSheet()->setCurrentIndex(1);
    EXPECT_TRUE(main->action(QStringLiteral("DataUndo"))->isEnabled());
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(main->pcSheet()->currentIndex(), 0);
    EXPECT_EQ(points().size(), 3u);
    EXPECT_EQ(modifiedText(), QStringLiteral("変更なし")); // back at the state opened
    EXPECT_EQ(main->action(QStringLiteral("DataRedo"))->text(), QStringLiteral("元に戻すを取消す(&W) 座標指定 [ 1..1 ]"));
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(modifiedText(), QStringLiteral("変更あり"));

    // Saving keeps the history; undoing from the saved state is a change.
    save("saved");
    EXPECT_EQ(modifiedText(), QStringLiteral("変更なし"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(modifiedText(), QStringLiteral("変更あり"));
    EXPECT_TRUE(doc().state.modified);
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(modifiedText(), QStringLiteral("変更なし"));

    // A deleted page comes back with its grid, caption and points.
    main->pcSheet()->setCurrentIndex(1);
    dialogs.expectQuestion(QStringLiteral("ワークシートを削除しようとしています。\r\n削除しますか？"), MsgResult::Yes);
    trigger("DeleteSheet");
    EXPECT_EQ(main->pcSheet()->count(), 1);
    EXPECT_EQ(main->action(QStringLiteral("DataUndo"))->text(), QStringLiteral("元に戻す(&U) 削除(&D) Page1"));
    trigger("DataUndo");
    ASSERT_EQ(main->pcSheet()->count(), 2);
    EXPECT_EQ(main->pcSheet()->currentIndex(), 1);
    EXPECT_EQ(main->sheetGrid(1)->model()->data(main->sheetGrid(1)->model()->index(1, 0), Qt::DisplayRole),
              QStringLiteral("300"));
    EXPECT_EQ(modifiedText(), QStringLiteral("変更なし")); // the saved state again

    // Opening starts a fresh history.
    dialogs.expectOpen({true, path("doc.cvd"), 1});
    trigger("OpenData");
    EXPECT_EQ(main->action(QStringLiteral("DataUndo"))->text(), QStringLiteral("元に戻す(&U)"));
    EXPECT_FALSE(main->action(QStringLiteral("DataUndo"))->isEnabled());
}

TEST_F(UndoHistoryTest, ValueColumnsShowWhatTheExportWrites)
{
    TSheetGrid* grid = main->currentGrid();
    QAbstractItemModel* model = grid->model();
    EXPECT_EQ(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("X値"));
    EXPECT_EQ(model->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Y値"));
    auto shownLines = [&] {
        QString text;
        for (int r = 0; r < int(points().size()) + 1; ++r) {
            const QString x = model->data(model->index(r, 2), Qt::DisplayRole).toString();
            const QString y = model->data(model->index(r, 3), Qt::DisplayRole).toString();
            if (!x.isEmpty() || !y.isEmpty())
                text += x + QLatin1Char('\t') + y + QStringLiteral("\r\n");
        }
        return text;
    };
    NullProgress quiet;
    const QString exported = QString::fromLatin1(ExportLines(points(), doc().calibration, '\t', quiet));
    EXPECT_EQ(shownLines(), exported);
    EXPECT_EQ(exported.count(QStringLiteral("\r\n")), 3);
    // The whole value as a tool tip, for cells too narrow to show it.
    EXPECT_EQ(model->data(model->index(2, 3), Qt::ToolTipRole), model->data(model->index(2, 3), Qt::DisplayRole));
    EXPECT_FALSE(model->data(model->index(2, 1), Qt::ToolTipRole).isValid());
    // Five columns of one width, the row numbers among them.
    EXPECT_EQ(grid->view()->columnWidth(3), grid->view()->verticalHeader()->width());

    // Reset in the dialog: no values; undone: the same values again.
    dialogs.expectInfo(kProtected);
    trigger("acDeformationData");
    dialogs.expectQuestion(QStringLiteral("画像とデータを初期化しますか？"), MsgResult::Yes);
    dialogs.expectQuestion(QStringLiteral("全ての設定されたデータは初期化されます。"), MsgResult::Yes);
    windows->fDeform->findChild<QPushButton*>(QStringLiteral("butReject"))->click();
    EXPECT_EQ(shownLines(), QString());
    EXPECT_EQ(main->action(QStringLiteral("DataUndo"))->text(), QStringLiteral("元に戻す(&U) 歪修正データの初期化"));
    trigger("DataUndo");
    EXPECT_EQ(shownLines(), exported);
    // The dialog shows the protected calibration again.
    EXPECT_FALSE(windows->fDeform->butAccept()->isEnabled());
    EXPECT_EQ(windows->fDeform->edtValue(3)->text(), QStringLiteral("1000"));
}
