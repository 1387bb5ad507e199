// PNG, GIF, TIFF and WebP through the open dialog, a drop and the command
// line, and a picture pasted from the clipboard with the unsaved-work prompts.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "image/BmpCodec.h"
#include "image/ImageSet.h"
#include "image/JpegCodec.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QImageWriter>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>

#include <algorithm>

using namespace cvg;
using namespace cvg::test;

namespace {

const QString kChangedAsk = QStringLiteral("編集中のファイルは変更されています。保存しますか？");
const QString kNoPicture = QStringLiteral("クリップボードに画像がありません。");

FileDialogResult chose(const QString& path, int filterIndex)
{
    return FileDialogResult { true, path, filterIndex };
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100); // lossless WebP
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A pattern with one half-transparent and one fully transparent pixel, and
// the 24-bit picture it must become (the two pixels laid over white).
QImage translucentPattern()
{
    QImage image = patternPicture(30, 20).convertToFormat(QImage::Format_ARGB32);
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(0));
    row[0] = qRgba(200, 100, 50, 128);
    row[1] = qRgba(9, 9, 9, 0);
    return image;
}

QImage flattenedPattern()
{
    QImage image = patternPicture(30, 20);
    uchar* row = image.scanLine(0);
    const uchar expected[6] = { 227, 177, 152, 255, 255, 255 };
    std::copy(expected, expected + 6, row);
    return image;
}

void putOnClipboard(const QImage& image)
{
    QGuiApplication::clipboard()->setImage(image);
}

} // namespace

class PicturePasteTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        bmpPath = dir.filePath(QStringLiteral("graph.bmp"));
        writeAll(bmpPath, encodeBmp(drawGraph(64, 48)));
        jpgPath = dir.filePath(QStringLiteral("graph.jpg"));
        QByteArray jpeg;
        ASSERT_TRUE(encodeJpeg(drawGraph(50, 40), jpeg));
        writeAll(jpgPath, jpeg);
        pngPath = dir.filePath(QStringLiteral("graph.png"));
        writeAll(pngPath, encoded(translucentPattern(), "png"));
        tifPath = dir.filePath(QStringLiteral("graph.tif"));
        writeAll(tifPath, encoded(translucentPattern(), "tiff"));
        webpPath = dir.filePath(QStringLiteral("graph.webp"));
        writeAll(webpPath, encoded(translucentPattern(), "webp"));
        QGuiApplication::clipboard()->clear();
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    void makeChange()
    {
        ASSERT_TRUE(AppendPoint(main->doc().sheets.currentPage(), { 5, 5 }));
        main->MarkModified();
    }
    const QImage& working() { return main->doc().images.workingImage; }

    QTemporaryDir dir;
    QString bmpPath, jpgPath, pngPath, tifPath, webpPath;
};

TEST_F(PicturePasteTest, OldFilterIndexesKeepTheirReadersAndNewOnesReadTodaysFormats)
{
    start();
    dialogs.expectOpen(chose(bmpPath, 2));
    trigger("OpenBitmap");
    ASSERT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_EQ(differingPixels(working(), drawGraph(64, 48)), 0);

    dialogs.expectOpen(chose(jpgPath, 3));
    trigger("OpenJpeg");
    ASSERT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_EQ(working().size(), QSize(50, 40));

    // A PNG chosen with the bitmap or the JPEG filter goes to those readers,
    // which refuse it.
    for (int index : { 2, 3 }) {
        dialogs.expectOpen(chose(pngPath, index));
        trigger("PublicLoadFile");
        EXPECT_FALSE(main->doc().state.pictureLoaded) << index;
    }

    const std::pair<QString, int> opens[] = { { pngPath, 6 }, { tifPath, 8 }, { webpPath, 9 } };
    for (const auto& [path, index] : opens) {
        dialogs.expectOpen(chose(path, index));
        trigger("PublicLoadFile");
        const Document& doc = main->doc();
        ASSERT_TRUE(doc.state.pictureLoaded) << index;
        EXPECT_EQ(working().format(), kPictureFormat);
        EXPECT_EQ(differingPixels(working(), flattenedPattern()), 0) << index;
        EXPECT_EQ(differingPixels(main->shownPicture(), flattenedPattern()), 0) << index;
        EXPECT_EQ(doc.resize.width, 30);
        EXPECT_EQ(doc.resize.height, 20);
        EXPECT_EQ(doc.fileName.fileName, path.section(QLatin1Char('/'), -1));
        EXPECT_EQ(main->statusText(0), doc.fileName.fileName);
        EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
        EXPECT_FALSE(doc.state.modified);
    }

    // The GIF entry reads by content too: a bitmap there is refused.
    dialogs.expectOpen(chose(bmpPath, 7));
    trigger("PublicLoadFile");
    EXPECT_FALSE(main->doc().state.pictureLoaded);
    EXPECT_TRUE(working().size().isEmpty());
}

TEST_F(PicturePasteTest, DropAndCommandLineOpenTodaysFormatsByExactExtension)
{
    context->commandLineFile = tifPath;
    start();
    main->show();
    QApplication::processEvents();
    ASSERT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_EQ(differingPixels(working(), flattenedPattern()), 0);
    EXPECT_EQ(main->doc().fileName.fileName, QStringLiteral("graph.tif"));

    main->DropFiles({ webpPath });
    ASSERT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_TRUE(main->doc().state.openedOutsideDialog);
    EXPECT_EQ(differingPixels(working(), flattenedPattern()), 0);
    EXPECT_EQ(main->doc().fileName.fileName, QStringLiteral("graph.webp"));
    EXPECT_EQ(main->statusText(0), QStringLiteral("新規ファイル")); // not changed by a drop

    const QString tiff = dir.filePath(QStringLiteral("long.tiff"));
    QFile::copy(tifPath, tiff);
    main->DropFiles({ tiff });
    EXPECT_TRUE(main->doc().state.pictureLoaded);

    const QString upper = dir.filePath(QStringLiteral("GRAPH.PNG"));
    QFile::copy(pngPath, upper);
    dialogs.expectInfo(QStringLiteral("このファイル形式は読込むことができません"));
    main->DropFiles({ upper });
    EXPECT_FALSE(main->doc().state.pictureLoaded);

    // A bitmap called ".png" goes to the PNG reader, which refuses it.
    const QString disguised = dir.filePath(QStringLiteral("bitmap.png"));
    QFile::copy(bmpPath, disguised);
    main->DropFiles({ disguised });
    EXPECT_FALSE(main->doc().state.pictureLoaded);
    EXPECT_TRUE(working().size().isEmpty());
}

TEST_F(PicturePasteTest, PasteActionSitsInTheFileMenu)
{
    start();
    QAction* paste = main->action(QStringLiteral("PastePicture"));
    ASSERT_NE(paste, nullptr);
    EXPECT_EQ(paste->objectName(), QStringLiteral("PastePicture"));
    EXPECT_EQ(paste->text(), QStringLiteral("画像の貼り付け"));
    EXPECT_EQ(paste->toolTip(), QStringLiteral("クリップボードの画像を読み込む"));
    EXPECT_EQ(paste->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+V")));
    EXPECT_TRUE(paste->isEnabled());
    const QList<QAction*> items = main->menu(QStringLiteral("popFile"))->actions();
    const qsizetype at = items.indexOf(paste);
    ASSERT_GT(at, 0);
    EXPECT_EQ(items[at - 1]->menu(), main->menu(QStringLiteral("popOpen")));
    EXPECT_EQ(items[at + 1]->menu(), main->menu(QStringLiteral("popSave")));
}

TEST_F(PicturePasteTest, NothingToPasteChangesNothing)
{
    start();
    dialogs.expectOpen(chose(bmpPath, 2));
    trigger("OpenBitmap");
    makeChange();

    dialogs.expectInfo(kNoPicture);
    trigger("PastePicture"); // empty clipboard
    QGuiApplication::clipboard()->setText(QStringLiteral("12\t34"));
    dialogs.expectInfo(kNoPicture);
    trigger("PastePicture");
    // Too wide for any picture of the program.
    putOnClipboard(QImage(kMaxPictureSide + 1, 1, QImage::Format_RGB32));
    dialogs.expectInfo(QStringLiteral("クリップボードの画像を読み込むことができません。"));
    trigger("PastePicture");

    EXPECT_EQ(differingPixels(working(), drawGraph(64, 48)), 0);
    EXPECT_EQ(main->doc().sheets.currentPage().points.size(), 1u);
    EXPECT_TRUE(main->doc().state.modified);
    EXPECT_EQ(main->doc().fileName.fileName, QStringLiteral("graph.bmp"));
}

TEST_F(PicturePasteTest, PasteAsksAboutUnsavedWorkThenReplacesTheDocument)
{
    start();
    main->show();
    // An unmodified document is replaced without a question.
    dialogs.expectOpen(chose(bmpPath, 2));
    trigger("OpenBitmap");
    putOnClipboard(translucentPattern());
    trigger("PastePicture");
    {
        const Document& doc = main->doc();
        ASSERT_TRUE(doc.state.pictureLoaded);
        EXPECT_EQ(working().format(), kPictureFormat);
        EXPECT_EQ(differingPixels(working(), flattenedPattern()), 0);
        EXPECT_EQ(differingPixels(main->shownPicture(), flattenedPattern()), 0);
        EXPECT_EQ(doc.resize.width, 30);
        EXPECT_EQ(doc.resize.height, 20);
        EXPECT_TRUE(doc.fileName.fileName.isEmpty());
        EXPECT_TRUE(doc.state.overwritePath.isEmpty());
        EXPECT_FALSE(doc.state.openedOutsideDialog);
        // The pasted picture exists nowhere else: the document is modified.
        EXPECT_TRUE(doc.state.modified);
        EXPECT_EQ(main->statusText(0), QStringLiteral("新規ファイル"));
        EXPECT_EQ(main->statusText(1), QStringLiteral("変更あり"));
        EXPECT_FALSE(main->action(QStringLiteral("OverWrite"))->isEnabled());
        EXPECT_FALSE(main->action(QStringLiteral("DataUndo"))->isEnabled());
    }

    // Cancel (or closing the box) keeps everything.
    makeChange();
    const QImage other = drawGraph(24, 16);
    putOnClipboard(other);
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::Cancel);
    trigger("PastePicture");
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::Closed);
    trigger("PastePicture");
    EXPECT_EQ(differingPixels(working(), flattenedPattern()), 0);
    EXPECT_EQ(main->doc().sheets.currentPage().points.size(), 1u);

    // Yes saves first; a cancelled save keeps the document as it is.
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::Yes);
    dialogs.expectSave(FileDialogResult {}, [](const FileDialogRequest& r) {
        EXPECT_EQ(r.filterIndex, 1);
        EXPECT_TRUE(r.fileName.isEmpty()); // no name proposed for a pasted picture
    });
    trigger("PastePicture");
    EXPECT_EQ(differingPixels(working(), flattenedPattern()), 0);
    EXPECT_TRUE(main->doc().state.modified);

    // A save that went through is followed by the paste.
    const QString saved = dir.filePath(QStringLiteral("saved.cvd"));
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::Yes);
    dialogs.expectSave(chose(saved, 1));
    trigger("PastePicture");
    EXPECT_TRUE(QFile::exists(saved));
    EXPECT_EQ(differingPixels(working(), other), 0);
    EXPECT_TRUE(main->doc().sheets.currentPage().points.empty());
    EXPECT_TRUE(main->doc().state.modified);
    EXPECT_TRUE(main->doc().state.overwritePath.isEmpty()); // the saved file is not the pasted picture

    // No replaces the document without saving.
    makeChange();
    putOnClipboard(translucentPattern().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::No);
    trigger("PastePicture");
    EXPECT_EQ(differingPixels(working(), flattenedPattern()), 0);
    EXPECT_TRUE(main->doc().sheets.currentPage().points.empty());
    EXPECT_EQ(main->doc().sheets.pageCount(), 1);

    // Closing asks, because the picture was never saved.
    dialogs.expectMessage(kChangedAsk, MsgIcon::None, MsgButtons::YesNoCancel, MsgResult::Cancel);
    EXPECT_FALSE(closeMain());
}
