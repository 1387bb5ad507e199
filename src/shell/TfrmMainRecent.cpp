// The recently used files of the file menu, and the Delete key.
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "widgets/TPictureView.h"
#include "worksheet/TSheetGrid.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace cvg {

void TfrmMain::rememberRecentFile(const QString& path)
{
    recent_.add(QFileInfo(path).absoluteFilePath());
    rebuildRecentMenu();
    // Kept at once, so that a second window started later sees it too.
    saveRecord(context_.store, QStringLiteral("Recent"), recent_);
}

void TfrmMain::rebuildRecentMenu()
{
    QMenu* menu = menus_.value(QStringLiteral("popRecent"));
    if (!menu)
        return;
    // The entry that was chosen may be running still: the old entries go
    // once control is back in the event loop.
    for (QAction* old : menu->actions()) {
        menu->removeAction(old);
        old->deleteLater();
    }
    int n = 0;
    for (const QString& path : recent_.paths) {
        ++n;
        QString shown = QDir::toNativeSeparators(path);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(QStringLiteral("&%1 %2").arg(n).arg(shown), menu);
        menu->addAction(item);
        item->setObjectName(QStringLiteral("RecentFile%1").arg(n));
        item->setData(path);
        connect(item, &QAction::triggered, this, [this, path] { runCommand([this, path] { OpenRecentFile(path); }); });
    }
    menu->setEnabled(n > 0);
}

void TfrmMain::OpenRecentFile(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        context_.dialogs.info(QStringLiteral("ファイルが見つかりません。一覧から削除します。\r\n") + path);
        recent_.remove(path);
        rebuildRecentMenu();
        saveRecord(context_.store, QStringLiteral("Recent"), recent_);
        return;
    }
    // Opened as a file from outside the dialogs is: the same questions
    // about unsaved work, then the reader its extension names.
    DropFiles({path});
}

void TfrmMain::DeleteKeyExecute()
{
    QWidget* focus = focusWidget();
    const bool onPicture = focus && (focus == pbGraph_ || focus == pbPaint_ || focus == imImage_);
    if (onPicture) {
        // The current point of the picture, as the marker's pop-up deletes it.
        Worksheets& sheets = doc_.sheets;
        if (pbGraph_->isVisible() && sheets.currentRow >= 1 && sheets.currentRow <= PointCount(sheets.currentPage())) {
            sheets.selectionStart = sheets.selectionEnd = sheets.currentRow;
            DataCutExecute();
        }
        return;
    }
    // Anywhere else the selected rows of the grid go, as the edit menu cuts them.
    DataCutExecute();
}

} // namespace cvg
