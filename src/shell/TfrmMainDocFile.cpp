// Reading and writing the document file, text export and the clipboard.
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "widgets/TPictureView.h"
#include "shell/ToolWindows.h"
#include "worksheet/DocumentFile.h"
#include "worksheet/TextExport.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

namespace cvg {

bool TfrmMain::readDocumentFile(const QString& path)
{
    // The reader expects a fresh document; the callers reset it first.
    bool read = false;
    try {
        read = ReadDocument(path, doc_, context_.dialogs, *progress_);
    } catch (...) {
        afterDocumentRead();
        throw;
    }
    afterDocumentRead();
    return read;
}

void TfrmMain::afterDocumentRead()
{
    // What was read is where the history starts, whoever opened it.
    ResetUndo();
    rebuildSheetTabs();
    LayoutSheetGrid();
    UpdateSheetInfo();
    if (doc_.calibration.Converted && !doc_.images.correctedImage.isNull())
        RedrawPointMarkers(settings_.connectLine != 0);
    else
        ShowWorkingImage();
    FitPaintBox(pbGraph_);
    if (!doc_.fileName.fileName.isEmpty())
        setStatusTexts(doc_.fileName.fileName, QStringLiteral("変更なし"));
}

bool TfrmMain::writeDocumentFile(const QString& path)
{
    return WriteDocument(path, doc_, *progress_);
}

void TfrmMain::connectExportActions()
{
    connect(action(QStringLiteral("SaveWorkSheetAsText")), &QAction::triggered, this, [this] {
        runCommand([this] { SaveWorkSheetAsText(doc_, settings_.transferFormat, context_.dialogs, *progress_); });
    });
    connect(action(QStringLiteral("SheetDataToClipboard")), &QAction::triggered, this, [this] {
        runCommand([this] {
            const std::optional<QString> text =
                SheetDataToClipboard(doc_, settings_.transferFormat, context_.dialogs, *progress_);
            if (text)
                QGuiApplication::clipboard()->setText(*text);
        });
    });
}

} // namespace cvg
