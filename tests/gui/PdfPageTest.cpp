// PDF pages through the open dialog, drops and the command line: the page
// dialog with its thumbnails, resolution and crop, its remembered value, and
// every refusal.
#include "GuiFixture.h"
#include "TestPdfs.h"

#include "image/BmpCodec.h"
#include "image/TfPdfPage.h"
#include "platform/ByteIO.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>

using namespace cvg;
using namespace cvg::test;

namespace {

const QString kChangedAsk = QStringLiteral("編集中のファイルは変更されています。保存しますか？");
const QString kUpdatedAsk
    = QStringLiteral("編集中のファイルは更新されています。\r\nファイルを保存しますか？");
const QString kResetAsk = QStringLiteral("ファイルを保存せずに、データを初期化します");

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray dpiValue(int left, int top, int dpi)
{
    QByteArray bytes;
    putI32(bytes, left);
    putI32(bytes, top);
    putI32(bytes, dpi);
    return bytes;
}

QPushButton* button(TfPdfPage& dialog, const char* name)
{
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

} // namespace

class PdfPageTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        pdfPath = dir.filePath(QStringLiteral("graph.pdf"));
        writeAll(pdfPath, graphPdf());
        bmpPath = dir.filePath(QStringLiteral("graph.bmp"));
        writeAll(bmpPath, encodeBmp(newPicture(40, 30)));
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<TfPdfPage*>(QApplication::activeModalWidget());
            if (!dialog || steps.empty() || !dialog->isVisible())
                return;
            const std::function<void(TfPdfPage&)> next = steps.front();
            steps.pop_front();
            if (steps.empty())
                poll.stop();
            next(*dialog);
        });
    }
    void TearDown() override
    {
        EXPECT_TRUE(steps.empty()) << "the page dialog was not shown";
        poll.stop();
        GuiFixture::TearDown();
    }
    // Runs checks on the page dialog once it is shown; they close it.
    void onPageDialog(std::function<void(TfPdfPage&)> check)
    {
        steps.push_back(std::move(check));
        poll.start();
    }
    static void waitForPreview(TfPdfPage& d)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.previewPicture().isNull(); }, 5000));
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    void makeChange()
    {
        ASSERT_TRUE(AppendPoint(main->doc().sheets.currentPage(), { 5, 5 }));
        main->MarkModified();
    }
    const QImage& working() { return main->doc().images.workingImage; }
    QString write(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writeAll(path, bytes);
        return path;
    }

    QTemporaryDir dir;
    QString pdfPath, bmpPath;
    QTimer poll;
    std::deque<std::function<void(TfPdfPage&)>> steps;
};

TEST_F(PdfPageTest, OpensTheChosenPageAtTheChosenResolutionAndRemembersIt)
{
    store.setValue(QStringLiteral("PdfPage"), QByteArray(7, '\x01')); // wrong size: defaults
    start();
    dialogs.expectOpen({ true, pdfPath, 10 });
    onPageDialog([this](TfPdfPage& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("fPdfPage"));
        EXPECT_EQ(d.windowTitle(), QStringLiteral("PDFのページを選択 - graph.pdf"));
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(store.value(QStringLiteral("PdfPage")), dpiValue(0, 0, 300));
        EXPECT_EQ(d.lvPages()->model()->rowCount(), 2);
        EXPECT_EQ(d.lvPages()->model()->index(1, 0).data().toString(), QStringLiteral("2"));
        EXPECT_EQ(d.udDpi()->value(), 300);
        EXPECT_EQ(d.lblPixelSize()->text(), QStringLiteral("1667 x 1250 ピクセル"));
        EXPECT_EQ(d.lblCrop()->text(), QStringLiteral("ページ全体"));
        EXPECT_FALSE(d.butClearCrop()->isEnabled());
        // The second page by the keyboard, 144 dpi typed in.
        d.lvPages()->setFocus();
        QTest::keyClick(d.lvPages(), Qt::Key_Down);
        EXPECT_EQ(d.request().page, 2);
        EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("lblPage"))->text(), QStringLiteral("ページ 2 / 2"));
        d.udDpi()->setValue(144);
        EXPECT_EQ(d.lblPixelSize()->text(), QStringLiteral("800 x 600 ピクセル"));
        button(d, "butOK")->click();
    });
    trigger("PublicLoadFile");

    const Document& doc = main->doc();
    ASSERT_TRUE(doc.state.pictureLoaded);
    ASSERT_EQ(working().size(), QSize(800, 600));
    EXPECT_EQ(working().format(), kPictureFormat);
    EXPECT_NEAR(darkRowCentre(working(), 400, 230, 250).value_or(-1), 240, 1.0); // the 1 pt rule at 120 pt
    EXPECT_EQ(main->shownPicture().size(), QSize(800, 600));
    EXPECT_EQ(doc.resize.width, 800);
    EXPECT_EQ(doc.resize.height, 600);
    EXPECT_EQ(doc.fileName.fileName, QStringLiteral("graph.pdf"));
    EXPECT_EQ(main->statusText(0), QStringLiteral("graph.pdf"));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
    EXPECT_FALSE(doc.state.modified);
    const std::optional<QByteArray> stored = store.value(QStringLiteral("PdfPage"));
    ASSERT_TRUE(stored && stored->size() == 12);
    EXPECT_EQ(stored->mid(8), dpiValue(0, 0, 144).mid(8));

    // The next PDF starts at the remembered resolution; a stored resolution
    // out of range starts at 300.
    dialogs.expectOpen({ true, pdfPath, 10 });
    onPageDialog([](TfPdfPage& d) {
        EXPECT_EQ(d.udDpi()->value(), 144);
        EXPECT_EQ(d.request().page, 1);
        d.reject();
    });
    trigger("PublicLoadFile");
    store.setValue(QStringLiteral("PdfPage"), dpiValue(0, 0, 5000));
    onPageDialog([](TfPdfPage& d) {
        EXPECT_EQ(d.udDpi()->value(), 300);
        d.reject();
    });
    main->DropFiles({ pdfPath });
    // Cancelled twice: the first page-2 picture is still the document's.
    EXPECT_EQ(working().size(), QSize(800, 600));
}

TEST_F(PdfPageTest, CancelChangesNothingAndADragReadsOnlyThatPart)
{
    start();
    dialogs.expectOpen({ true, bmpPath, 2 });
    trigger("OpenBitmap");
    makeChange();

    // Cancelled after the first question: no other prompt, nothing changed.
    dialogs.expectQuestion(kChangedAsk, MsgResult::No);
    dialogs.expectOpen({ true, pdfPath, 10 });
    onPageDialog([](TfPdfPage& d) { button(d, "butCancel")->click(); });
    trigger("PublicLoadFile");
    EXPECT_TRUE(main->doc().state.modified);
    EXPECT_EQ(working().size(), QSize(40, 30));
    EXPECT_EQ(main->doc().sheets.currentPage().points.size(), 1u);

    // A rectangle dragged on page 2's preview, then the prompts of a
    // modified document before its picture replaces the document.
    QRectF crop;
    dialogs.expectQuestion(kChangedAsk, MsgResult::No);
    dialogs.expectOpen({ true, pdfPath, 10 });
    onPageDialog([&crop](TfPdfPage& d) {
        d.selectPage(2);
        d.udDpi()->setValue(144);
        waitForPreview(d);
        QWidget* preview = d.pbPreview();
        const QPoint from = d.pageToPreview(QPointF(40, 20)).toPoint();
        const QPoint to = d.pageToPreview(QPointF(240, 170)).toPoint();
        QTest::mousePress(preview, Qt::LeftButton, {}, from);
        QTest::mouseMove(preview, (from + to) / 2);
        QTest::mouseMove(preview, to);
        QTest::mouseRelease(preview, Qt::LeftButton, {}, to);
        crop = d.request().crop;
        EXPECT_NEAR(crop.left(), 40, 2);
        EXPECT_NEAR(crop.top(), 20, 2);
        EXPECT_NEAR(crop.right(), 240, 2);
        EXPECT_NEAR(crop.bottom(), 170, 2);
        EXPECT_TRUE(d.butClearCrop()->isEnabled());
        EXPECT_TRUE(d.lblCrop()->text().startsWith(QStringLiteral("左 ")));
        // A click clears it; the button too; a second drag sets it again.
        QTest::mouseClick(preview, Qt::LeftButton, {}, from);
        EXPECT_TRUE(d.request().crop.isNull());
        QTest::mousePress(preview, Qt::LeftButton, {}, from);
        QTest::mouseMove(preview, to);
        QTest::mouseRelease(preview, Qt::LeftButton, {}, to);
        EXPECT_EQ(d.request().crop, crop);
        const QSize size = d.request().crop.isNull()
            ? QSize()
            : QSize(int(std::nearbyint(crop.right() * 2)) - int(std::nearbyint(crop.left() * 2)),
                int(std::nearbyint(crop.bottom() * 2)) - int(std::nearbyint(crop.top() * 2)));
        EXPECT_EQ(d.lblPixelSize()->text(),
            QStringLiteral("%1 x %2 ピクセル").arg(size.width()).arg(size.height()));
        QTest::keyClick(&d, Qt::Key_Return);
    });
    dialogs.expectQuestion(kUpdatedAsk, MsgResult::No);
    dialogs.expectQuestion(kResetAsk, MsgResult::Yes);
    trigger("PublicLoadFile");

    ASSERT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_NEAR(working().width(), 400, 8);
    EXPECT_NEAR(working().height(), 300, 8);
    // The rule at 120 pt lies (120 - top) points below the crop's top edge.
    EXPECT_NEAR(darkRowCentre(working(), 100, 150, 250).value_or(-1), (120 - crop.top()) * 2, 1.5);
    EXPECT_TRUE(main->doc().sheets.currentPage().points.empty());
    EXPECT_FALSE(main->doc().state.modified);
}

TEST_F(PdfPageTest, RefusalsSayWhyAndLeaveTheDocumentAsItWas)
{
    const QString wide = write("wide.pdf", blankPagePdf(QSizeF(7200, 3600)));
    const QString locked = write("locked.pdf", lockedPdf());
    const QString empty = write("empty.pdf", noPagePdf());
    const QString damaged = write("damaged.pdf", graphPdf().left(60));
    start();
    dialogs.expectOpen({ true, bmpPath, 2 });
    trigger("OpenBitmap");
    makeChange();

    // A drop on a modified document: the question first, then the dialog.
    // Too large: the label and the refusal name the largest resolution.
    dialogs.expectQuestion(kChangedAsk, MsgResult::No);
    dialogs.expectWarning(QStringLiteral("30000 x 15000 ピクセルは大きすぎて読み込めません。\r\nこのページは "
                                         "200 dpi までの解像度で読み込めます。"));
    dialogs.expectInfo(QStringLiteral("/opt/cvg/cvghelp.chmファイルが見つかりませんでした"));
    onPageDialog([](TfPdfPage& d) {
        EXPECT_EQ(
            d.lblPixelSize()->text(), QStringLiteral("30000 x 15000 ピクセル  大きすぎます (200 dpi まで)"));
        button(d, "butOK")->click();
        EXPECT_TRUE(d.isVisible()); // still open for another choice
        d.udDpi()->setValue(200);
        EXPECT_EQ(d.lblPixelSize()->text(), QStringLiteral("20000 x 10000 ピクセル"));
        button(d, "butHelp")->click();
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    main->DropFiles({ wide });
    EXPECT_TRUE(main->doc().state.modified);
    EXPECT_EQ(working().size(), QSize(40, 30));

    // Files that cannot be read: their reason, and no reset.
    const std::pair<QString, QString> unreadable[] = {
        { locked, QStringLiteral("このPDFはパスワードで保護されているため読み込めません。") },
        { empty, QStringLiteral("このPDFにはページがありません。") },
        { damaged, QStringLiteral("PDFファイルが壊れているため読み込めません。") },
        { bmpPath, QStringLiteral("このファイルはPDFではありません。") },
    };
    for (const auto& [path, reason] : unreadable) {
        dialogs.expectQuestion(kChangedAsk, MsgResult::No);
        dialogs.expectOpen({ true, path, 10 });
        dialogs.expectMessage(reason, MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
        trigger("PublicLoadFile");
        EXPECT_TRUE(main->doc().state.modified) << path.toStdString();
        EXPECT_EQ(working().size(), QSize(40, 30));
    }
    dialogs.expectQuestion(kChangedAsk, MsgResult::No);
    dialogs.expectMessage(QStringLiteral("このPDFはパスワードで保護されているため読み込めません。"),
        MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
    main->DropFiles({ locked });
    EXPECT_EQ(main->doc().sheets.currentPage().points.size(), 1u);

    // A PDF named in capitals is no PDF to the drop, as every extension.
    const QString upper = write("GRAPH.PDF", graphPdf());
    main->doc().state.modified = false;
    dialogs.expectInfo(QStringLiteral("このファイル形式は読込むことができません"));
    main->DropFiles({ upper });
    EXPECT_FALSE(main->doc().state.pictureLoaded);
}

TEST_F(PdfPageTest, ThumbnailsAreMadeAsTheyComeIntoViewAndTheCommandLineOpensAPage)
{
    context->commandLineFile = write("many.pdf", manyPagesPdf(300));
    onPageDialog([](TfPdfPage& d) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.hasThumbnail(1); }, 5000));
        QTest::qWait(50);
        // Only the pages in view: a handful, not three hundred.
        EXPECT_GE(d.thumbnailsMade(), 2);
        EXPECT_LE(d.thumbnailsMade(), 12);
        EXPECT_FALSE(d.hasThumbnail(300));
        // The last page by the keyboard: scrolled into view and drawn there.
        d.lvPages()->setFocus();
        QTest::keyClick(d.lvPages(), Qt::Key_End);
        EXPECT_EQ(d.request().page, 300);
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.hasThumbnail(300); }, 5000));
        QTest::qWait(50);
        EXPECT_LE(d.thumbnailsMade(), 24);
        EXPECT_FALSE(d.hasThumbnail(150)); // never in view
        // A resolution typed below the range is read as the lowest.
        d.udDpi()->field()->selectAll();
        QTest::keyClicks(d.udDpi()->field(), QStringLiteral("50"));
        QTest::keyClick(d.lvPages(), Qt::Key_Return);
        EXPECT_EQ(d.udDpi()->value(), 72);
        EXPECT_EQ(d.udDpi()->text(), QStringLiteral("72 dpi"));
    });
    start();
    main->show();
    QApplication::processEvents();
    ASSERT_TRUE(main->doc().state.pictureLoaded);
    EXPECT_EQ(working().size(), QSize(200, 280));
    EXPECT_EQ(main->doc().fileName.fileName, QStringLiteral("many.pdf"));
    EXPECT_TRUE(main->doc().state.openedOutsideDialog);
}
