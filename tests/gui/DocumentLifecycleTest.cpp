// New, open, save, drop, command line and the close query, with every prompt.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "image/BmpCodec.h"
#include "platform/Progress.h"
#include "worksheet/DocumentFile.h"
#include "widgets/TPictureView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace cvg;
using namespace cvg::test;

namespace {

const QString kChangedAsk = QStringLiteral("編集中のファイルは変更されています。保存しますか？");
const QString kUpdatedAsk = QStringLiteral("編集中のファイルは更新されています。\r\nファイルを保存しますか？");
const QString kResetAsk = QStringLiteral("ファイルを保存せずに、データを初期化します");

FileDialogResult chose(const QString& path, int filterIndex)
{
    return FileDialogResult{true, path, filterIndex};
}

} // namespace

class DocumentLifecycleTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        bmpPath = dir.filePath(QStringLiteral("graph.bmp"));
        QFile file(bmpPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(encodeBmp(drawGraph(64, 48)));
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    // A change the user made: a point and the modified mark.
    void makeChange()
    {
        ASSERT_TRUE(AppendPoint(main->doc().sheets.currentPage(), {5, 5}));
        main->MarkModified();
    }

    QTemporaryDir dir;
    QString bmpPath;
};

TEST_F(DocumentLifecycleTest, NewDocumentAsksOnlyWhenModified)
{
    start();
    main->doc().sheets.currentPage().points.push_back({1, 1});
    trigger("ProgramInitialozation"); // not modified: reset at once, no box
    EXPECT_TRUE(main->doc().sheets.currentPage().points.empty());

    makeChange();
    dialogs.expectQuestion(kUpdatedAsk, MsgResult::Yes);
    dialogs.expectSave(FileDialogResult{}, [](const FileDialogRequest& r) {
        EXPECT_EQ(r.filterIndex, 1);
        EXPECT_EQ(r.defaultExtension, QStringLiteral("cvd"));
        EXPECT_TRUE(r.overwritePrompt);
    });
    trigger("ProgramInitialozation");
    EXPECT_EQ(main->doc().sheets.currentPage().points.size(), 1u); // not reset after Yes

    dialogs.expectQuestion(kUpdatedAsk, MsgResult::No);
    dialogs.expectQuestion(kResetAsk, MsgResult::No);
    trigger("ProgramInitialozation");
    EXPECT_TRUE(main->doc().state.modified);

    dialogs.expectQuestion(kUpdatedAsk, MsgResult::No);
    dialogs.expectQuestion(kResetAsk, MsgResult::Yes);
    trigger("ProgramInitialozation");
    EXPECT_FALSE(main->doc().state.modified);
    EXPECT_TRUE(main->doc().sheets.currentPage().points.empty());
    EXPECT_EQ(main->statusText(0), QStringLiteral("新規ファイル"));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
}

TEST_F(DocumentLifecycleTest, OpenBitmapThroughTheDialogWhileModified)
{
    start();
    makeChange();
    dialogs.expectQuestion(kChangedAsk, MsgResult::No);
    dialogs.expectOpen(chose(bmpPath, 2), [this](const FileDialogRequest& r) {
        EXPECT_EQ(r.filterIndex, 2);
        EXPECT_EQ(r.initialDir, QStringLiteral("/opt/cvg/"));
        EXPECT_EQ(r.filter, QStringLiteral("Curvegleaner32ファイル(*.cvd)|*.cvd|ビットマップ・ファイル(*.bmp)|*.bmp|"
                                           "JPEGファイル(*.jpg)|*.jpg|Windows Meta File(*.wmf)|*.wmf|"
                                           "Enhanced Meta File(*.emf)|*.emf|PNGファイル(*.png)|*.png|"
                                           "GIFファイル(*.gif)|*.gif|TIFFファイル(*.tif *.tiff)|*.tif *.tiff|"
                                           "WebPファイル(*.webp)|*.webp|PDFファイル(*.pdf)|*.pdf"));
    });
    dialogs.expectQuestion(kUpdatedAsk, MsgResult::No);
    dialogs.expectQuestion(kResetAsk, MsgResult::No);
    trigger("OpenBitmap");

    const Document& doc = main->doc();
    EXPECT_TRUE(doc.state.pictureLoaded);
    EXPECT_EQ(doc.images.workingImage.size(), QSize(64, 48));
    EXPECT_EQ(main->shownPicture().size(), QSize(64, 48));
    EXPECT_EQ(doc.resize.width, 64);
    EXPECT_EQ(doc.resize.height, 48);
    // Declining the reset still starts the read on a fresh document.
    EXPECT_TRUE(doc.sheets.currentPage().points.empty());
    EXPECT_EQ(doc.fileName.fileName, QStringLiteral("graph.bmp"));
    EXPECT_EQ(main->statusText(0), QStringLiteral("graph.bmp"));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
    EXPECT_FALSE(doc.state.openedOutsideDialog);
}

TEST_F(DocumentLifecycleTest, TheChosenFilterPicksTheReaderAndTheWriter)
{
    start();
    // The JPEG filter with a bitmap file: the JPEG reader runs and fails.
    dialogs.expectOpen(chose(bmpPath, 3));
    trigger("OpenJpeg");
    EXPECT_FALSE(main->doc().state.pictureLoaded);
    EXPECT_TRUE(main->doc().images.workingImage.isNull() || main->doc().images.workingImage.size().isEmpty());
    EXPECT_EQ(main->statusText(0), QStringLiteral("graph.bmp"));

    dialogs.expectOpen(chose(bmpPath, 2));
    trigger("OpenBitmap");
    ASSERT_TRUE(main->doc().state.pictureLoaded);

    // Started from "JPEG(&J)", switched to the bitmap filter: a bitmap in a ".jpg".
    const QString target = dir.filePath(QStringLiteral("out.jpg"));
    dialogs.expectSave(chose(target, 2), [](const FileDialogRequest& r) {
        EXPECT_EQ(r.filterIndex, 3);
        EXPECT_EQ(r.defaultExtension, QStringLiteral("jpg"));
        EXPECT_EQ(r.fileName, QStringLiteral("graph"));
    });
    makeChange();
    trigger("SaveJpeg");
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.read(2), QByteArray("BM"));
    EXPECT_EQ(main->statusText(0), QStringLiteral("out.jpg"));
    // A picture save does not save the document: it stays modified, though
    // the status bar says "変更なし" as it does after every accepted save.
    EXPECT_TRUE(main->doc().state.modified);
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));

    // Saving the never-resized picture (choice 2) writes nothing and says why.
    trigger("SaveNotResizeImage");
    const QString empty = dir.filePath(QStringLiteral("empty.bmp"));
    dialogs.expectSave(chose(empty, 2));
    dialogs.expectMessage(QStringLiteral("保存する画像がありません。"), MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
    trigger("SaveBitmap");
    EXPECT_FALSE(QFile::exists(empty));
}

TEST_F(DocumentLifecycleTest, DropsFollowTheirRules)
{
    start();
    const QString second = dir.filePath(QStringLiteral("other.bmp"));
    QFile::copy(bmpPath, second);

    dialogs.expectInfo(QStringLiteral("複数のファイルをドロップすることはできません"));
    main->DropFiles({bmpPath, second});
    EXPECT_FALSE(main->doc().state.pictureLoaded);

    makeChange();
    dialogs.expectQuestion(kChangedAsk, MsgResult::No);
    main->DropFiles({bmpPath, second});
    EXPECT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_TRUE(main->doc().state.openedOutsideDialog);
    EXPECT_EQ(main->doc().fileName.fileName, QStringLiteral("graph.bmp"));
    EXPECT_TRUE(main->doc().sheets.currentPage().points.empty());
    // The status bar is not changed by an open of this kind.
    EXPECT_EQ(main->statusText(0), QStringLiteral("新規ファイル"));
    // The size record stays as the reset left it.
    EXPECT_EQ(main->doc().resize.width, 0);

    // The extension is compared exactly.
    const QString upper = dir.filePath(QStringLiteral("GRAPH.BMP"));
    QFile::copy(bmpPath, upper);
    dialogs.expectInfo(QStringLiteral("このファイル形式は読込むことができません"));
    main->DropFiles({upper});
    EXPECT_FALSE(main->doc().state.pictureLoaded);
    EXPECT_EQ(main->doc().fileName.fileName, QStringLiteral("GRAPH.BMP"));

    // A save proposes the folder too after a drop.
    dialogs.expectSave(FileDialogResult{}, [this](const FileDialogRequest& r) {
        EXPECT_EQ(r.fileName, dir.path() + QStringLiteral("/GRAPH"));
    });
    trigger("SaveData");
}

TEST_F(DocumentLifecycleTest, CommandLineOpensOnFirstActivation)
{
    context->commandLineFile = bmpPath;
    start();
    main->show();
    main->activateWindow();
    QApplication::processEvents();
    // Opened once the window is up, with or without an activation.
    EXPECT_FALSE(main->doc().state.firstActivation);
    EXPECT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_TRUE(main->doc().state.openedOutsideDialog);
    EXPECT_EQ(main->shownPicture().size(), QSize(64, 48));
    // The status bar is not changed by an open of this kind.
    EXPECT_EQ(main->statusText(0), QStringLiteral("新規ファイル"));
}

TEST_F(DocumentLifecycleTest, CloseQueryNeverThrowsUnsavedWorkAway)
{
    start();
    main->show();
    EXPECT_TRUE(main->CloseQuery()); // not modified

    makeChange();
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::Cancel);
    EXPECT_FALSE(main->CloseQuery());

    // Yes, then the save dialog cancelled: the window stays open.
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::Yes);
    dialogs.expectSave(FileDialogResult{});
    EXPECT_FALSE(main->CloseQuery());

    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::No);
    dialogs.expectQuestion(QStringLiteral("保存せずに終了しますか？"), MsgResult::No);
    EXPECT_FALSE(main->CloseQuery());

    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::No);
    dialogs.expectQuestion(QStringLiteral("保存せずに終了しますか？"), MsgResult::Yes);
    EXPECT_TRUE(main->CloseQuery());
}

TEST_F(DocumentLifecycleTest, SaveCommandNeedsAPicture)
{
    start();
    dialogs.expectWarning(QStringLiteral("保存するデータがありません。"));
    trigger("PublicSaveFile");
}

TEST_F(DocumentLifecycleTest, DocumentSavedAsAnotherFileIsOverwrittenThere)
{
    start();
    dialogs.expectOpen(chose(bmpPath, 2));
    trigger("OpenBitmap");
    ASSERT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_FALSE(main->action(QStringLiteral("OverWrite"))->isEnabled());

    // Saved as a document: a later change enables overwrite.
    const QString a = dir.filePath(QStringLiteral("a.cvd"));
    dialogs.expectSave(chose(a, 1));
    trigger("SaveData");
    ASSERT_TRUE(QFileInfo::exists(a));
    EXPECT_EQ(main->doc().state.overwritePath, a);
    makeChange();
    EXPECT_TRUE(main->action(QStringLiteral("OverWrite"))->isEnabled());

    // Opened again from A and saved as B: overwrite writes B.
    dialogs.expectQuestion(kChangedAsk, MsgResult::No);
    dialogs.expectOpen(chose(a, 1));
    dialogs.expectQuestion(kUpdatedAsk, MsgResult::No);
    dialogs.expectQuestion(kResetAsk, MsgResult::Yes);
    trigger("OpenData");
    EXPECT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_EQ(main->doc().images.workingImage.size(), QSize(64, 48));
    EXPECT_EQ(main->statusText(0), QStringLiteral("a.cvd"));
    EXPECT_EQ(main->pcSheet()->count(), 1);
    const QString b = dir.filePath(QStringLiteral("b.cvd"));
    dialogs.expectSave(chose(b, 1));
    trigger("SaveData");
    ASSERT_TRUE(AppendPoint(main->doc().sheets.currentPage(), {7, 8}));
    main->MarkModified();
    const qint64 sizeOfA = QFileInfo(a).size();
    trigger("OverWrite");
    EXPECT_FALSE(main->doc().state.modified);
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
    EXPECT_EQ(QFileInfo(a).size(), sizeOfA);
    Document reread;
    NullProgress quiet;
    ASSERT_TRUE(ReadDocument(b, reread, dialogs, quiet));
    EXPECT_EQ(reread.sheets.page(0).points, (std::vector<Point>{{7, 8}}));

    // An overwrite that cannot write says so and keeps the document modified.
    main->MarkModified();
    const QString unwritable = dir.filePath(QStringLiteral("missing/c.cvd"));
    main->doc().state.overwritePath = unwritable;
    dialogs.expectMessage(QStringLiteral("ファイル \"%1\" を作成できません。\r\nNo such file or directory").arg(unwritable),
                          MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
    trigger("OverWrite");
    EXPECT_TRUE(main->doc().state.modified);
}

TEST_F(DocumentLifecycleTest, ClipboardTransferUsesTheChosenFormat)
{
    start();
    Document& doc = main->doc();
    doc.state.pictureLoaded = true;
    doc.images.correctedImage = newPicture(100, 100);
    Calibration& cal = doc.calibration;
    cal.CorrectedPoints[YUpper] = {0, 100, 1};
    cal.CorrectedPoints[YLower] = {0, 0, 0};
    cal.CorrectedPoints[XLeft] = {0, 0, 0};
    cal.CorrectedPoints[XRight] = {100, 0, 1000000};
    ASSERT_TRUE(ConvertData(cal));
    cal.Converted = true;
    ASSERT_TRUE(WritePoints(doc.sheets.currentPage(), {{0, 50}, {100, 100}}));
    trigger("CsvFormat");
    trigger("SheetDataToClipboard");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("0,0.5\r\n1000000,1\r\n"));
}
