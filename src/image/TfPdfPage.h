#pragma once

#include "image/PdfPicture.h"
#include "widgets/TToolWindow.h"

#include <QImage>
#include <QTimer>
#include <memory>
#include <optional>

class QLabel;
class QListView;
class QProgressBar;
class QPushButton;

namespace cvg {

class TfrmMain;
class TPaintBox;
class TUpDown;
class PdfPageModel;

// The page dialog of a PDF: the pages as thumbnails (made as they come into
// view), a preview of the chosen page on which a rectangle can be dragged to
// read only that part, and the resolution with the pixel size it gives. OK
// renders the choice; the picture is then the dialog's result. The
// resolution is kept in the settings value "PdfPage" (left, top, dpi).
class TfPdfPage final : public TToolWindow {
    Q_OBJECT
public:
    TfPdfPage(TfrmMain& main, AppContext& context, const PdfDocument& document, const QString& fileName);
    ~TfPdfPage() override;

    // The choice as it stands.
    PdfPageRequest request() const;
    // The rendered page, once OK went through.
    const QImage& picture() const { return picture_; }

    void selectPage(int page);
    // The crop in points (empty: the whole page), as a drag on the preview sets it.
    void setCrop(const QRectF& points);
    // Renders the choice; closes the dialog on success, otherwise says why
    // and stays open.
    void butOKClick();

    // The preview's picture and the resolution it was drawn at.
    const QImage& previewPicture() const { return preview_; }
    double previewDpi() const { return previewDpi_; }
    // Where a point of the page lies in the preview box, and back.
    QPointF previewToPage(const QPointF& boxPosition) const;
    QPointF pageToPreview(const QPointF& pagePoint) const;
    // How many thumbnails were drawn so far; whether a page's is drawn.
    int thumbnailsMade() const;
    bool hasThumbnail(int page) const;

    QListView* lvPages() const { return lvPages_; }
    TPaintBox* pbPreview() const { return pbPreview_; }
    TUpDown* udDpi() const { return udDpi_; }
    QLabel* lblPixelSize() const { return lblPixelSize_; }
    QLabel* lblCrop() const { return lblCrop_; }
    QPushButton* butClearCrop() const { return butClearCrop_; }

protected:
    void onClosed() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void makeVisibleThumbnail();
    void drawPreview();
    void paintPreview(QPainter& painter);
    void previewMouse(QMouseEvent* event, bool press, bool release);
    void showPixelSize();
    QRectF previewArea() const;

    TfrmMain& main_;
    const PdfDocument& document_;
    std::unique_ptr<PdfPageModel> model_;
    QTimer thumbnailTimer_;
    QTimer previewTimer_;
    int page_ = 1;
    QRectF crop_;
    QImage preview_;
    double previewDpi_ = 0;
    std::optional<QPointF> dragStart_;
    QImage picture_;

    QListView* lvPages_ = nullptr;
    QLabel* lblPage_ = nullptr;
    TPaintBox* pbPreview_ = nullptr;
    TUpDown* udDpi_ = nullptr;
    QLabel* lblPixelSize_ = nullptr;
    QLabel* lblCrop_ = nullptr;
    QPushButton* butClearCrop_ = nullptr;
    QProgressBar* prgRender_ = nullptr;
};

// Opens a PDF and lets the user choose what of it becomes the picture: the
// rendered picture, or nothing when the user cancelled or the file cannot be
// read (after saying why).
std::optional<QImage> choosePdfPicture(TfrmMain& main, AppContext& context, const QString& path);

} // namespace cvg
