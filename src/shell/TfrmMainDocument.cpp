// The document lifecycle: new, open, save, overwrite, drop, command line,
// the modified state and the close query.
#include "image/BmpCodec.h"
#include "image/JpegCodec.h"
#include "image/MetafilePlayer.h"
#include "image/ModernPicture.h"
#include "image/PdfPicture.h"
#include "image/TfPdfPage.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "shell/AppContext.h"
#include "widgets/TPictureView.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>

namespace cvg {

namespace {

// Today's formats come after the first five entries, so that indexes 1 to 5
// keep choosing the readers they always chose.
const QString kOpenFilter = QStringLiteral(
    "Curvegleaner32ファイル(*.cvd)|*.cvd|ビットマップ・ファイル(*.bmp)|*.bmp|JPEGファイル(*.jpg)|*.jpg|"
    "Windows Meta File(*.wmf)|*.wmf|Enhanced Meta File(*.emf)|*.emf|"
    "PNGファイル(*.png)|*.png|GIFファイル(*.gif)|*.gif|TIFFファイル(*.tif *.tiff)|*.tif *.tiff|"
    "WebPファイル(*.webp)|*.webp|PDFファイル(*.pdf)|*.pdf");
const QString kSaveFilter = QStringLiteral(
    "Curvegleaner32ファイル(*.cvd)|*.cvd|ビットマップ・ファイル(*.bmp)|*.bmp|JPEGファイル(*.jpg)|*.jpg");
const QString kSaveQuestion = QStringLiteral("編集中のファイルは変更されています。保存しますか？");

// The reader kind (and open dialog filter index) of PNG, GIF, TIFF and WebP:
// indexes 6 to 9 all read through the same reader.
constexpr int kFirstModernKind = 6;
constexpr int kLastModernKind = 9;
// A PDF page: the page dialog chooses and renders it before the document is
// replaced, so that cancelling it changes nothing.
constexpr int kPdfKind = 10;

} // namespace

void TfrmMain::connectDocumentActions()
{
    onAction(QStringLiteral("ProgramInitialozation"), &TfrmMain::NewDocument);
    const char* opens[5] = {"OpenData", "OpenBitmap", "OpenJpeg", "OpenWmf", "OpenEmf"};
    for (int i = 0; i < 5; ++i)
        connect(action(QString::fromLatin1(opens[i])), &QAction::triggered, this,
                [this, i] { runCommand([this, i] { CheckFileChange(i + 1); }); });
    connect(action(QStringLiteral("PublicLoadFile")), &QAction::triggered, this,
            [this] { runCommand([this] { CheckFileChange(1); }); });
    connect(action(QStringLiteral("PublicSaveFile")), &QAction::triggered, this, [this] {
        runCommand([this] {
            if (doc_.state.pictureLoaded)
                SaveWithDialog(1);
            else
                context_.dialogs.warning(QStringLiteral("保存するデータがありません。"));
        });
    });
    const char* saves[3] = {"SaveData", "SaveBitmap", "SaveJpeg"};
    for (int i = 0; i < 3; ++i)
        connect(action(QString::fromLatin1(saves[i])), &QAction::triggered, this,
                [this, i] { runCommand([this, i] { SaveWithDialog(i + 1); }); });
    onAction(QStringLiteral("OverWrite"), &TfrmMain::Overwrite);
    onAction(QStringLiteral("PastePicture"), &TfrmMain::PastePicture);
}

void TfrmMain::MarkModified()
{
    if (doc_.history.isClean())
        doc_.history.markUnsaved();
    showModifiedState();
}

void TfrmMain::MarkUnmodified()
{
    // Saving keeps the history; undo may lead away from the saved state and back.
    doc_.history.setClean();
    showModifiedState();
}

void TfrmMain::showModifiedState()
{
    doc_.state.modified = !doc_.history.isClean();
    if (!doc_.state.overwritePath.isEmpty())
        action(QStringLiteral("OverWrite"))->setEnabled(doc_.state.modified);
    setStatusTexts(doc_.fileName.fileName,
                   doc_.state.modified ? QStringLiteral("変更あり") : QStringLiteral("変更なし"));
    syncUndoActions();
}

void TfrmMain::NewDocument()
{
    if (doc_.state.modified) {
        if (context_.dialogs.ask(QStringLiteral("編集中のファイルは更新されています。\r\nファイルを保存しますか？"))
            == MsgResult::Yes) {
            SaveWithDialog(1);
            return; // not reset, whatever the save did
        }
        if (context_.dialogs.ask(QStringLiteral("ファイルを保存せずに、データを初期化します")) != MsgResult::Yes)
            return;
    }
    ResetDocument();
}

void TfrmMain::ResetDocument()
{
    if (windows_)
        windows_->HideMarkers();
    IniMain(); // also starts the picture set afresh
    // A new document empties the undo steps and the clipboard too.
    doc_.undo = UndoState{};
    setShownPicture(doc_.images.correctedImage);
    ResetSheets();
    ResetUndo();
    documentWasReset_ = true;
}

void TfrmMain::CheckFileChange(int filterIndex)
{
    if (doc_.state.modified) {
        const MsgResult answer = context_.dialogs.ask(kSaveQuestion);
        if (answer == MsgResult::Yes)
            SaveWithDialog(1);
        else if (answer == MsgResult::No)
            OpenWithDialog(filterIndex);
        return;
    }
    OpenWithDialog(filterIndex);
}

QString TfrmMain::dataDirectory() const
{
    return windows_ ? windows_->fDirectory->DataDirectory() : QString();
}

void TfrmMain::OpenWithDialog(int filterIndex)
{
    if (!doc_.state.openedOutsideDialog)
        openDialogFolder_ = dataDirectory();
    FileDialogRequest request;
    request.filter = kOpenFilter;
    request.filterIndex = filterIndex;
    request.initialDir = openDialogFolder_;
    const FileDialogResult chosen = context_.dialogs.openFile(request);
    if (!chosen.accepted)
        return;
    openDialogFolder_ = QFileInfo(chosen.path).absolutePath();
    if (chosen.filterIndex == kPdfKind && !preparePdfPicture(chosen.path))
        return;

    documentWasReset_ = false;
    NewDocument();
    if (!documentWasReset_) {
        // The document was not started afresh (the user saved or declined):
        // reading into it would mix two documents, so it is reset here.
        ResetDocument();
    }

    // The reader follows the filter chosen in the dialog, not the extension.
    bool read = false;
    if (chosen.filterIndex == 1) {
        read = readDocumentFile(chosen.path);
        if (read)
            ResetUndo();
    } else {
        read = readPictureFile(chosen.filterIndex, chosen.path);
        if (read) {
            doc_.state.pictureLoaded = true;
            ResetUndo();
        }
    }
    doc_.resize.width = doc_.images.workingImage.width();
    doc_.resize.height = doc_.images.workingImage.height();
    doc_.fileName.setFromPath(chosen.path);
    doc_.state.openedOutsideDialog = false;
    setStatusTexts(doc_.fileName.fileName, QStringLiteral("変更なし"));
    FitPaintBox(pbGraph_);
    if (read)
        rememberRecentFile(chosen.path);
}

bool TfrmMain::readPictureFile(int kind, const QString& path)
{
    // kind: 2 bitmap, 3 JPEG, 4 and 5 metafile, 6 to 9 PNG, GIF, TIFF, WebP, 10 PDF.
    QImage picture;
    bool ok = false;
    if (kind == 2)
        ok = LoadBmpPicture(path, picture);
    else if (kind == 3)
        ok = LoadJpegPicture(path, picture);
    else if (kind >= kFirstModernKind && kind <= kLastModernKind)
        ok = LoadModernPicture(path, picture);
    else if (kind == kPdfKind) {
        ok = !pdfPicture_.isNull() || preparePdfPicture(path);
        picture = std::exchange(pdfPicture_, QImage());
    } else {
        ok = LoadMetafilePicture(path, context_.screenDpi, picture);
    }
    doc_.images.workingImage = ok ? picture : newPicture(0, 0);
    ShowWorkingImage();
    return ok;
}

bool TfrmMain::preparePdfPicture(const QString& path)
{
    const std::optional<QImage> picture = choosePdfPicture(*this, context_, path);
    pdfPicture_ = picture.value_or(QImage());
    return picture.has_value();
}

bool TfrmMain::pdfPageChosen(const QString& path)
{
    return !isPdfExtension(extensionOf(path)) || preparePdfPicture(path);
}

void TfrmMain::SaveWithDialog(int filterIndex)
{
    static const char* extensions[4] = {"", "cvd", "bmp", "jpg"};
    FileDialogRequest request;
    request.filter = kSaveFilter;
    request.filterIndex = filterIndex;
    request.defaultExtension = QString::fromLatin1(extensions[std::clamp(filterIndex, 1, 3)]);
    request.fileName = doc_.state.openedOutsideDialog ? doc_.fileName.folder + doc_.fileName.stem
                                                      : doc_.fileName.stem;
    request.overwritePrompt = true;
    const FileDialogResult chosen = context_.dialogs.saveFile(request);
    if (!chosen.accepted) {
        lastSaveSucceeded_ = false;
        return;
    }
    lastSaveSucceeded_ = true;
    if (chosen.filterIndex == 1) {
        if (writeDocumentFile(chosen.path)) {
            action(QStringLiteral("DoDataCovert"))->setChecked(false);
            doc_.state.overwritePath = chosen.path;
            MarkUnmodified();
            rememberRecentFile(chosen.path);
        } else {
            // Saying nothing here would leave "変更なし" showing over unsaved work.
            lastSaveSucceeded_ = false;
            context_.dialogs.error(QStringLiteral("データファイルの保存に失敗しました\r\nファイル名：") + chosen.path);
            doc_.fileName.setFromPath(chosen.path);
            setStatusTexts(doc_.fileName.fileName, doc_.state.modified ? QStringLiteral("変更あり")
                                                                        : QStringLiteral("変更なし"));
            return;
        }
    } else {
        const QImage* pictures[3] = {&doc_.images.workingImage, &doc_.images.correctedImage,
                                     &doc_.images.unresizedImage};
        const QImage& picture = *pictures[std::clamp(settings_.saveImageChoice, 0, 2)];
        try {
            if (chosen.filterIndex == 2)
                SaveBmpPicture(chosen.path, picture);
            else
                SaveJpegPicture(chosen.path, picture);
        } catch (...) {
            lastSaveSucceeded_ = false;
            throw;
        }
    }
    doc_.fileName.setFromPath(chosen.path);
    setStatusTexts(doc_.fileName.fileName, QStringLiteral("変更なし"));
}

void TfrmMain::Overwrite()
{
    if (writeDocumentFile(doc_.state.overwritePath))
        MarkUnmodified();
    else
        context_.dialogs.info(QStringLiteral("データファイルの上書に失敗しました\r\nファイル名：") + doc_.state.overwritePath);
}

void TfrmMain::DropFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (doc_.state.modified) {
        const MsgResult answer = context_.dialogs.ask(kSaveQuestion);
        if (answer == MsgResult::Yes) {
            SaveWithDialog(1);
            return;
        }
        if (answer != MsgResult::No || !pdfPageChosen(paths.first().left(255)))
            return;
        doc_.state.modified = false;
        NewDocument();
    } else if (paths.size() == 1) {
        if (!pdfPageChosen(paths.first().left(255)))
            return;
        NewDocument();
    } else {
        context_.dialogs.info(QStringLiteral("複数のファイルをドロップすることはできません"));
        return;
    }
    const QString path = paths.first().left(255);
    if (windows_)
        windows_->HideMarkers();
    FitPaintBox(pbGraph_);
    pbGraph_->show();
    pbPaint_->hide();
    if (windows_)
        windows_->hideForDrop(*this);
    OpenByExtension(path, true);
}

void TfrmMain::OpenCommandLine()
{
    const QString path = context_.commandLineFile;
    if (!path.isEmpty() && QFileInfo(path).isFile())
        runCommand([this, path] {
            const QString absolute = QFileInfo(path).absoluteFilePath();
            if (pdfPageChosen(absolute))
                OpenByExtension(absolute, false);
        });
}

void TfrmMain::OpenByExtension(const QString& path, bool fromDrop)
{
    const QString extension = extensionOf(path);
    bool pictureRead = false;
    bool readerRan = true;
    if (extension == QLatin1String(".cvd")) {
        if (readDocumentFile(path))
            rememberRecentFile(path);
        if (!fromDrop)
            return; // a document from the command line keeps what the reader set
    } else if (extension == QLatin1String(".bmp")) {
        pictureRead = readPictureFile(2, path);
    } else if (extension == QLatin1String(".jpg")) {
        pictureRead = readPictureFile(3, path);
    } else if (extension == QLatin1String(".wmf") || extension == QLatin1String(".emf")) {
        pictureRead = readPictureFile(4, path);
    } else if (isModernPictureExtension(extension)) {
        pictureRead = readPictureFile(kFirstModernKind, path);
    } else if (isPdfExtension(extension)) {
        pictureRead = readPictureFile(kPdfKind, path);
    } else {
        readerRan = false;
        context_.dialogs.info(QStringLiteral("このファイル形式は読込むことができません"));
    }
    doc_.state.openedOutsideDialog = true;
    if (readerRan && pictureRead) {
        doc_.state.pictureLoaded = true;
        rememberRecentFile(path);
    }
    doc_.fileName.setFromPath(path);
    if (!fromDrop)
        FitPaintBox(pbGraph_);
}

void TfrmMain::PastePicture()
{
    // Looked at before any prompt: with nothing to paste there is nothing to ask.
    const QImage clipped = QGuiApplication::clipboard()->image();
    if (clipped.isNull()) {
        context_.dialogs.info(QStringLiteral("クリップボードに画像がありません。"));
        return;
    }
    const QImage picture = pictureFromImage(clipped);
    if (picture.isNull()) { // too large, or memory is short
        context_.dialogs.info(QStringLiteral("クリップボードの画像を読み込むことができません。"));
        return;
    }

    if (doc_.state.modified) {
        const MsgResult answer
            = context_.dialogs.message({ kSaveQuestion, MsgIcon::None, MsgButtons::YesNoCancel });
        if (answer == MsgResult::Yes) {
            // Only a document that was really saved is replaced.
            lastSaveSucceeded_ = false;
            SaveWithDialog(1);
            if (!lastSaveSucceeded_ || doc_.state.modified)
                return;
        } else if (answer != MsgResult::No) {
            return;
        }
    }
    ResetDocument();

    doc_.images.workingImage = picture;
    ShowWorkingImage();
    doc_.state.pictureLoaded = true;
    ResetUndo();
    doc_.resize.width = picture.width();
    doc_.resize.height = picture.height();
    doc_.state.openedOutsideDialog = false;
    FitPaintBox(pbGraph_);
    // The picture exists nowhere else: closing must ask. It has no file
    // name yet, so a save asks for one.
    MarkModified();
    setStatusTexts(QStringLiteral("新規ファイル"), QStringLiteral("変更あり"));
}

bool TfrmMain::CloseQuery()
{
    if (!doc_.state.modified)
        return true;
    const MsgResult answer = context_.dialogs.message(
        {kSaveQuestion, MsgIcon::None, MsgButtons::YesNoCancel});
    if (answer == MsgResult::Yes) {
        // Only a save that went through lets the window close; a cancelled
        // dialog or a failed save keeps the unsaved work on screen.
        lastSaveSucceeded_ = false;
        runCommand([this] { SaveWithDialog(1); });
        return lastSaveSucceeded_ && !doc_.state.modified;
    }
    if (answer == MsgResult::No)
        return context_.dialogs.ask(QStringLiteral("保存せずに終了しますか？")) != MsgResult::No;
    return false;
}

} // namespace cvg
