#pragma once

#include "image/ViewScale.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "settings/SettingsRecords.h"

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWheelEvent;

namespace cvg {

struct AppContext;
class TPictureView;
class TPaintBox;
class TLoupe;
class TSheetGrid;
struct MarkLayer;
struct EditResult;
struct ToolWindows;

// Drives the status bar's progress bar; repaints it only now and then so a
// million updates cost next to nothing.
class MainProgress final : public Progress {
public:
    explicit MainProgress(QProgressBar* bar) : bar_(bar) {}
    void begin(int minimum, int maximum) override;
    void setPosition(int position) override;
    void end() override;

private:
    QProgressBar* bar_;
    qint64 lastPaint_ = 0;
};

// The main window: picture area, worksheet panel, tool bars and status bar.
// It owns the document for the whole run. Its members are split over several
// files by concern (creation and view settings here; document commands,
// worksheet and edit commands elsewhere).
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(AppContext& context);
    ~TfrmMain() override;

    AppContext& context() { return context_; }
    Document& doc() { return doc_; }
    MainSettings& settings() { return settings_; }
    Progress& progress() { return *progress_; }
    void setToolWindows(ToolWindows* windows) { windows_ = windows; }
    ToolWindows* toolWindows() const { return windows_; }

    QAction* action(const QString& name) const { return actions_.value(name); }
    QMenu* menu(const QString& name) const;

    // Start-up and view settings.
    void IniMain();
    void ApplyMainSettings();
    // The worksheet tabs follow the tab settings again (position, height, rows).
    void applySheetTabLayout() { applyTabLayout(); }
    void SetHintsShown(bool on);
    void ResetUndo();
    void RedrawPointMarkers(bool join);
    void FitPaintBox(QWidget* paintBox);
    void ShowWorkingImage();

    // The shown picture (a copy of one picture of the set, with marks).
    const QImage& shownPicture() const;
    void setShownPicture(const QImage& picture);
    // The shown picture with its marks drawn at picture scale, whatever the zoom.
    const QImage& markedPicture();
    // The current page's points as squares only, without lines (after a
    // point was moved).
    void redrawSquaresOnly();

    // The main view's zoom (TfrmMainZoom.cpp): a view of the picture only;
    // the document and every position in it stay in picture pixels.
    double zoom() const;
    // Zooms to factor (pulled into 10 % to 1600 %), keeping the picture
    // point under anchor (a position in the picture area's viewport; its
    // centre when none) where it is.
    void setZoom(double factor, std::optional<QPoint> anchor = {});
    // Steps along the zoom ladder: positive in, negative out.
    void zoomStep(int steps, std::optional<QPoint> anchor = {});
    void zoomToFit();
    // The loupe beside the cursor, centred on a picture pixel (x, row).
    void showLoupe(int x, int row);
    void hideLoupe();
    TLoupe* loupe() const { return loupe_; }

    // All pages' points at once, each page in its own colour.
    bool allPagesShown() const { return viewSettings_.showAllPages != 0; }
    // The colour page `index` is drawn in while all pages are shown (the
    // current page keeps its red line and green squares).
    static QRgb pageColour(int index);

    // Recently used files (TfrmMainRecent.cpp), newest first.
    const QStringList& recentFiles() const { return recent_.paths; }
    void rememberRecentFile(const QString& path);
    void OpenRecentFile(const QString& path);
    // The Delete key: the selected rows of the grid, or the current point
    // of the picture, go as the edit commands delete them.
    void DeleteKeyExecute();

    // Document lifecycle.
    // A change of the document was made: the modified state follows the
    // history (a change outside it makes the saved state unreachable).
    void MarkModified();
    void MarkUnmodified();
    // "変更あり" or "変更なし" as the history says, and the undo commands' texts.
    void showModifiedState();
    void NewDocument();
    void ResetDocument();
    void CheckFileChange(int filterIndex);
    void OpenWithDialog(int filterIndex);
    void SaveWithDialog(int filterIndex);
    void Overwrite();
    void DropFiles(const QStringList& paths);
    void OpenCommandLine();
    void OpenByExtension(const QString& path, bool fromDrop);
    // The clipboard's picture becomes the document's, as if opened from a file.
    void PastePicture();
    bool CloseQuery();
    // The open dialog's initial folder in force.
    QString dataDirectory() const;

    // Worksheet panel.
    bool CreateSheetPage();
    void ResetSheets();
    void SelectSheetRow(int row);
    void UpdateSheetInfo();
    void RebuildSheetList();
    void LayoutSheetGrid();
    // The tabs follow the model's pages again (after pages were added,
    // inserted, removed or the document was read).
    void rebuildSheetTabs();
    // The current page's points changed: its grid shows them again.
    void pointsChanged();
    TSheetGrid* sheetGrid(int index) const;
    // The grid's current data row of the current page (0 when none).
    int currentGridRow() const;

    // Editing commands (TfrmMainEdit.cpp).
    void DataCutExecute();
    void applyEditResult(const EditResult& result);
    TSheetGrid* currentGrid() const;
    // The undo, redo and paste actions show the document's undo state.
    void syncUndoActions();
    // After undo or redo: pages, grids, calibration and picture as the
    // document holds them now.
    void documentRestored();
    // The converted values of every grid are drawn again (the calibration changed).
    void valuesChanged();

    // Whether the tool tip of a tool button or of the sheet list is shown.
    static bool hintShown(const QWidget* widget);
    // Swallows the tool tips of controls whose hints are off.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tabs in several rows are asked for (always for side tabs).
    bool multiLineTabsInForce() const { return multiLineTabsInForce_; }

    // The height of the shown picture in picture pixels (a point's row is
    // this height minus its upward y).
    int pictureHeight() const;

    // Runs a command: an error it does not handle itself is shown in the
    // error box and the document stays as the command left it.
    void runCommand(const std::function<void()>& command);

    // Status bar texts.
    void setStatusTexts(const QString& fileName, const QString& modifiedText);
    QString statusText(int panel) const;

    // Controls the other windows and the tests use.
    QScrollArea* sbImage() const { return sbImage_; }
    TPictureView* imImage() const { return imImage_; }
    TPaintBox* pbPaint() const { return pbPaint_; }
    TPaintBox* pbGraph() const { return pbGraph_; }
    QLabel* lblCoordinate() const { return lblCoordinate_; }
    QLabel* lblConvertedCoodinate() const { return lblConvertedCoodinate_; }
    QLabel* lblSheetInfomation() const { return lblSheetInfomation_; }
    QComboBox* cbxSheetList() const { return cbxSheetList_; }
    QTabWidget* pcSheet() const { return pcSheet_; }
    QWidget* pnSheet() const { return pnSheet_; }
    QSplitter* splMain() const { return splMain_; }
    QProgressBar* prgBar() const { return prgBar_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Creation (TfrmMain.cpp / TfrmMainActions.cpp).
    void readMainSettings();
    void createActions();
    void createMenus();
    void createToolBars();
    void createLayout();
    void createStatusBar();
    void connectActions();
    QAction* addAction(const QString& name, const QString& caption, const QString& hint = {},
                       const QKeySequence& shortcut = {});
    void onAction(const QString& name, void (TfrmMain::*handler)());
    void placeProgressBar();
    void onSplitterMoved();
    void onFirstActivation();
    void writeMainSettings();
    // The view and recent-file values (beside "Main").
    void readViewSettings();
    void writeViewSettings();
    void createZoomActions();
    void zoomWheel(QWheelEvent* event);
    void zoomInExecute();
    void zoomOutExecute();
    void zoomActualExecute();
    void applyZoom(const ViewScale& scale);
    void acShowAllPagesExecute();
    std::vector<MarkLayer> markLayers(bool join, bool squaresOnly) const;
    void showMarks(std::vector<MarkLayer> layers, Progress& progress);
    void rebuildRecentMenu();
    void updateSheetListColours();

    // View toggles.
    void ShowCurrentDataInfoExecute();
    void ShowCurrentSheetInfoExecute();
    void ShowToolButtonExecute();
    void ShowHintExecute();
    void acConnectLineExecute();
    void setSaveImageChoice(int choice);
    void setTransferFormat(int format);
    void DirectoryConfigulationExecute();

    // Document lifecycle (TfrmMainDocument.cpp, TfrmMainDocFile.cpp).
    void connectDocumentActions();
    void connectEditActions();
    bool readPictureFile(int kind, const QString& path);
    // A PDF's page dialog: the rendered page waits in pdfPicture_ for the
    // reader; false when cancelled or unreadable. pdfPageChosen is true for
    // any other file.
    bool preparePdfPicture(const QString& path);
    bool pdfPageChosen(const QString& path);
    bool readDocumentFile(const QString& path);
    bool writeDocumentFile(const QString& path);
    // The window shows what a document read left in the model.
    void afterDocumentRead();
    void connectExportActions();

    // Worksheet panel (TfrmMainSheets.cpp).
    void connectSheetPanel();
    TSheetGrid* makeSheetGrid(int pageNumber);
    void pageActionFollowUps();
    void AddNewSheetExecute();
    void InsertNewSheetExecute();
    void DeleteSheetExecute();
    void RenameSheetExecute();
    void GotoTopExecute();
    void GotoEndExecute();
    void onSheetTabChanged(int index);
    void onSheetListChosen(int index);

    void applyTabLayout();
    void resizeSheetPanel(int width);

    static constexpr const char* kHintProperty = "cvgHintShown";

    AppContext& context_;
    Document doc_;
    MainSettings settings_;
    ViewSettings viewSettings_;
    RecentFiles recent_;
    ToolWindows* windows_ = nullptr;
    std::unique_ptr<MainProgress> progress_;
    QHash<QString, QAction*> actions_;
    QHash<QString, QMenu*> menus_;
    int wantedSheetWidth_ = 0;
    bool multiLineTabsInForce_ = false;
    bool syncingTabs_ = false;
    QString openDialogFolder_;
    bool documentWasReset_ = false;
    bool lastSaveSucceeded_ = false;
    QImage pdfPicture_;

    QWidget* pnMenu_ = nullptr;
    QToolBar* tbMenu_ = nullptr;
    QToolBar* tbSpeedButton_ = nullptr;
    QWidget* pnImage_ = nullptr;
    QWidget* pnDataInfoPanel_ = nullptr;
    QLabel* lblCoordinate_ = nullptr;
    QLabel* lblConvertedCoodinate_ = nullptr;
    QScrollArea* sbImage_ = nullptr;
    QWidget* sbImageContent_ = nullptr;
    TPictureView* imImage_ = nullptr;
    TPaintBox* pbPaint_ = nullptr;
    TPaintBox* pbGraph_ = nullptr;
    QWidget* pnSheet_ = nullptr;
    QWidget* pnSheetInfoPanel_ = nullptr;
    QWidget* pnSheetList_ = nullptr;
    QLabel* lblSheetInfomation_ = nullptr;
    QComboBox* cbxSheetList_ = nullptr;
    QTabWidget* pcSheet_ = nullptr;
    QSplitter* splMain_ = nullptr;
    QLabel* statusPanels_[3] = {nullptr, nullptr, nullptr};
    QProgressBar* prgBar_ = nullptr;
    QLabel* lblZoom_ = nullptr;
    TLoupe* loupe_ = nullptr;
    int wheelRest_ = 0;
};

} // namespace cvg
