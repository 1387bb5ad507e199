#include "image/TfPdfPage.h"

#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QCache>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace cvg {

namespace {

const QString kValueName = QStringLiteral("PdfPage");
const QSize kThumbnailBox(100, 100);
constexpr int kThumbnailsKept = 400;
// Pages that take longer than this to draw small are shown as a crossed box;
// choosing them still renders them in full with the long limit.
constexpr int kThumbnailTimeLimitMs = 3000;
constexpr int kPreviewTimeLimitMs = 5000;
// Preview redraws wait for the arrow keys or the resizing to pause.
constexpr int kPreviewDelayMs = 40;
// A drag shorter than this (preview pixels) is a click: it clears the crop.
constexpr double kSmallestDrag = 3;

QImage placeholder(bool failed)
{
    QImage image(kThumbnailBox, QImage::Format_RGB32);
    image.fill(QColor(236, 236, 236));
    QPainter p(&image);
    p.setPen(QColor(170, 170, 170));
    const QRect page(20, 8, 60, 84);
    p.fillRect(page, Qt::white);
    p.drawRect(page);
    if (failed) {
        p.setPen(QPen(QColor(190, 60, 60), 2));
        p.drawLine(page.topLeft(), page.bottomRight());
        p.drawLine(page.topRight(), page.bottomLeft());
    }
    return image;
}

// A thin frame, so that a white page stands out from the white list.
QPixmap framed(const QImage& thumbnail)
{
    QPixmap pixmap = QPixmap::fromImage(thumbnail);
    QPainter p(&pixmap);
    p.setPen(QColor(150, 150, 150));
    p.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return pixmap;
}

} // namespace

// The pages of the document for the list: numbers at once, thumbnails once
// the list asks for them (that is, once they come into view) and the dialog
// has drawn them, one at a time between events.
class PdfPageModel final : public QAbstractListModel {
public:
    PdfPageModel(int pageCount, std::function<void()> wanted)
        : pageCount_(pageCount)
        , wanted_(std::move(wanted))
        , waiting_(QPixmap::fromImage(placeholder(false)))
        , failed_(QPixmap::fromImage(placeholder(true)))
    {
        made_.setMaxCost(kThumbnailsKept);
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : pageCount_; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= pageCount_)
            return {};
        const int row = index.row();
        switch (role) {
        case Qt::DisplayRole:
            return QString::number(row + 1);
        case Qt::ToolTipRole:
            return QStringLiteral("ページ %1").arg(row + 1);
        case Qt::DecorationRole:
            if (const QPixmap* made = made_.object(row))
                return *made;
            if (requested_.insert(row).second)
                wanted_();
            return waiting_;
        default:
            return {};
        }
    }

    // Rows asked for and not drawn yet, lowest first.
    std::set<int>& requested() { return requested_; }
    void setThumbnail(int row, const QImage& thumbnail)
    {
        made_.insert(row, new QPixmap(thumbnail.isNull() ? failed_ : framed(thumbnail)));
        ++drawn_;
        const QModelIndex at = index(row);
        Q_EMIT dataChanged(at, at, { Qt::DecorationRole });
    }
    bool hasThumbnail(int row) const { return made_.contains(row); }
    int drawn() const { return drawn_; }

private:
    int pageCount_;
    std::function<void()> wanted_;
    QPixmap waiting_, failed_;
    QCache<int, QPixmap> made_;
    mutable std::set<int> requested_;
    int drawn_ = 0;
};

TfPdfPage::TfPdfPage(
    TfrmMain& main, AppContext& context, const PdfDocument& document, const QString& fileName)
    : TToolWindow(&main, context, kValueName, { 0, 0, kDefaultPdfDpi },
        Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint)
    , main_(main)
    , document_(document)
{
    setObjectName(QStringLiteral("fPdfPage"));
    setWindowTitle(QStringLiteral("PDFのページを選択 - %1").arg(fileName));
    setWindowModality(Qt::ApplicationModal);
    resize(860, 640);
    // Until the user has moved it somewhere, it opens over the main window.
    if (pos() == QPoint(0, 0)) {
        const QPoint centred = main.frameGeometry().center() - QPoint(width() / 2, height() / 2);
        move(std::max(centred.x(), 0), std::max(centred.y(), 0));
    }

    thumbnailTimer_.setSingleShot(true);
    thumbnailTimer_.setInterval(0);
    connect(&thumbnailTimer_, &QTimer::timeout, this, &TfPdfPage::makeVisibleThumbnail);
    previewTimer_.setSingleShot(true);
    previewTimer_.setInterval(kPreviewDelayMs);
    connect(&previewTimer_, &QTimer::timeout, this, &TfPdfPage::drawPreview);
    model_ = std::make_unique<PdfPageModel>(document.pageCount(), [this] { thumbnailTimer_.start(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    lvPages_ = new QListView(this);
    lvPages_->setObjectName(QStringLiteral("lvPages"));
    lvPages_->setViewMode(QListView::IconMode);
    lvPages_->setFlow(QListView::TopToBottom);
    lvPages_->setWrapping(false);
    lvPages_->setMovement(QListView::Static);
    lvPages_->setResizeMode(QListView::Adjust);
    lvPages_->setUniformItemSizes(true);
    lvPages_->setIconSize(kThumbnailBox);
    lvPages_->setGridSize(QSize(kThumbnailBox.width() + 24, kThumbnailBox.height() + 28));
    lvPages_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPages_->setFixedWidth(kThumbnailBox.width() + 24 + 2 * lvPages_->frameWidth()
        + lvPages_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    lvPages_->setModel(model_.get());
    top->addWidget(lvPages_);

    auto* right = new QVBoxLayout;
    lblPage_ = new QLabel(this);
    lblPage_->setObjectName(QStringLiteral("lblPage"));
    right->addWidget(lblPage_);
    pbPreview_ = new TPaintBox(this);
    pbPreview_->setObjectName(QStringLiteral("pbPreview"));
    pbPreview_->setMinimumSize(360, 320);
    pbPreview_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pbPreview_->setCursor(Qt::CrossCursor);
    pbPreview_->onPaint = [this](QPainter& p) { paintPreview(p); };
    connect(
        pbPreview_, &TPaintBox::mousePressed, this, [this](QMouseEvent* e) { previewMouse(e, true, false); });
    connect(
        pbPreview_, &TPaintBox::mouseMoved, this, [this](QMouseEvent* e) { previewMouse(e, false, false); });
    connect(pbPreview_, &TPaintBox::mouseReleased, this,
        [this](QMouseEvent* e) { previewMouse(e, false, true); });
    right->addWidget(pbPreview_, 1);
    auto* hint
        = new QLabel(QStringLiteral("プレビューの上をドラッグすると、囲んだ範囲だけを読み込みます。"), this);
    hint->setObjectName(QStringLiteral("lblHint"));
    right->addWidget(hint);
    top->addLayout(right, 1);
    layout->addLayout(top, 1);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    auto* dpiLabel = new QLabel(QStringLiteral("解像度(&R)"), this);
    grid->addWidget(dpiLabel, 0, 0);
    udDpi_ = new TUpDown(this);
    udDpi_->setObjectName(QStringLiteral("udDpi"));
    udDpi_->field()->setObjectName(QStringLiteral("edtDpi"));
    udDpi_->setRange(kMinPdfDpi, kMaxPdfDpi);
    udDpi_->setSingleStep(25);
    udDpi_->setSuffix(QStringLiteral(" dpi"));
    udDpi_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    udDpi_->setToolTip(QStringLiteral("1インチあたりの画素数 (72〜1200)"));
    dpiLabel->setBuddy(udDpi_);
    const int stored = storedExtra(0);
    udDpi_->setValue(stored >= kMinPdfDpi && stored <= kMaxPdfDpi ? stored : kDefaultPdfDpi);
    grid->addWidget(udDpi_, 0, 1);
    lblPixelSize_ = new QLabel(this);
    lblPixelSize_->setObjectName(QStringLiteral("lblPixelSize"));
    grid->addWidget(lblPixelSize_, 0, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("範囲"), this), 1, 0);
    lblCrop_ = new QLabel(this);
    lblCrop_->setObjectName(QStringLiteral("lblCrop"));
    grid->addWidget(lblCrop_, 1, 1, 1, 2);
    butClearCrop_ = new QPushButton(QStringLiteral("範囲を解除(&A)"), this);
    butClearCrop_->setObjectName(QStringLiteral("butClearCrop"));
    butClearCrop_->setAutoDefault(false);
    grid->addWidget(butClearCrop_, 1, 3);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    prgRender_ = new QProgressBar(this);
    prgRender_->setObjectName(QStringLiteral("prgRender"));
    prgRender_->setTextVisible(false);
    prgRender_->hide();
    buttons->addWidget(prgRender_, 1);
    buttons->addStretch();
    auto* butOK = new QPushButton(QStringLiteral("読込(&O)"), this);
    butOK->setObjectName(QStringLiteral("butOK"));
    butOK->setDefault(true);
    auto* butCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butCancel->setAutoDefault(false);
    auto* butHelp = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    butHelp->setObjectName(QStringLiteral("butHelp"));
    butHelp->setAutoDefault(false);
    for (QPushButton* b : { butOK, butCancel, butHelp }) {
        b->setMinimumWidth(75);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    connect(lvPages_->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (current.isValid() && current.row() + 1 != page_)
                selectPage(current.row() + 1);
        });
    // A double click opens the page; Return reaches the default button.
    connect(lvPages_, &QListView::doubleClicked, this, &TfPdfPage::butOKClick);
    connect(udDpi_, &QSpinBox::valueChanged, this, &TfPdfPage::showPixelSize);
    connect(butClearCrop_, &QPushButton::clicked, this, [this] { setCrop({}); });
    connect(butOK, &QPushButton::clicked, this, &TfPdfPage::butOKClick);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::reject);
    // The help stands in front of this dialog, which waits behind it.
    connect(butHelp, &QPushButton::clicked, this, [this] {
        if (ToolWindows* windows = main_.toolWindows())
            windows->ShowHelpTopic(QStringLiteral("DialogPdf.htm"));
    });

    page_ = 0;
    selectPage(1);
    lvPages_->setFocus();
}

TfPdfPage::~TfPdfPage() = default;

PdfPageRequest TfPdfPage::request() const
{
    PdfPageRequest r;
    r.page = page_;
    r.dpi = udDpi_->value();
    r.crop = crop_;
    return r;
}

void TfPdfPage::selectPage(int page)
{
    page = std::clamp(page, 1, document_.pageCount());
    if (page == page_)
        return;
    page_ = page;
    lblPage_->setText(QStringLiteral("ページ %1 / %2").arg(page).arg(document_.pageCount()));
    const QModelIndex index = model_->index(page - 1);
    if (lvPages_->currentIndex() != index)
        lvPages_->setCurrentIndex(index);
    lvPages_->scrollTo(index);
    setCrop({}); // a crop belongs to the page it was drawn on
    previewTimer_.start();
}

void TfPdfPage::setCrop(const QRectF& points)
{
    const QSizeF size = document_.pageSize(page_);
    crop_ = points.normalized().intersected(QRectF(QPointF(0, 0), size));
    if (crop_.isEmpty())
        crop_ = QRectF();
    if (crop_.isNull())
        lblCrop_->setText(QStringLiteral("ページ全体"));
    else
        lblCrop_->setText(QStringLiteral("左 %1  上 %2  右 %3  下 %4 (ポイント)")
                              .arg(crop_.left(), 0, 'f', 1)
                              .arg(crop_.top(), 0, 'f', 1)
                              .arg(crop_.right(), 0, 'f', 1)
                              .arg(crop_.bottom(), 0, 'f', 1));
    butClearCrop_->setEnabled(!crop_.isNull());
    showPixelSize();
    pbPreview_->update();
}

void TfPdfPage::showPixelSize()
{
    const PdfPageRequest r = request();
    const QSize size = document_.pixelSize(r);
    QString text = QStringLiteral("%1 x %2 ピクセル").arg(size.width()).arg(size.height());
    const bool fits = size.isValid() && pictureSizeAllowed(size.width(), size.height());
    if (!size.isValid()) {
        text = QStringLiteral("このページは読み込めません");
    } else if (!fits) {
        const int largest = document_.largestDpi(r);
        text += largest > 0 ? QStringLiteral("  大きすぎます (%1 dpi まで)").arg(largest)
                            : QStringLiteral("  大きすぎます");
    }
    lblPixelSize_->setText(text);
    lblPixelSize_->setStyleSheet(fits ? QString() : QStringLiteral("color: #c00000;"));
}

void TfPdfPage::makeVisibleThumbnail()
{
    // One page per turn of the event loop, so that scrolling and typing
    // never wait for more than one small drawing; pages scrolled past before
    // their turn are not drawn at all.
    std::set<int>& requested = model_->requested();
    const QRect visible = lvPages_->viewport()->rect();
    while (!requested.empty()) {
        const int row = *requested.begin();
        requested.erase(requested.begin());
        const QModelIndex index = model_->index(row);
        if (model_->hasThumbnail(row) || !lvPages_->visualRect(index).intersects(visible))
            continue;
        model_->setThumbnail(row, document_.renderFitting(row + 1, kThumbnailBox, kThumbnailTimeLimitMs));
        break;
    }
    if (!requested.empty())
        thumbnailTimer_.start();
}

int TfPdfPage::thumbnailsMade() const
{
    return model_->drawn();
}

bool TfPdfPage::hasThumbnail(int page) const
{
    return model_->hasThumbnail(page - 1);
}

void TfPdfPage::drawPreview()
{
    const QSize box = pbPreview_->size() - QSize(16, 16);
    previewDpi_ = document_.fittingDpi(page_, box);
    preview_ = previewDpi_ > 0 ? document_.renderFitting(page_, box, kPreviewTimeLimitMs) : QImage();
    pbPreview_->update();
}

QRectF TfPdfPage::previewArea() const
{
    if (preview_.isNull())
        return {};
    return QRectF(QPointF((pbPreview_->width() - preview_.width()) / 2.0,
                      (pbPreview_->height() - preview_.height()) / 2.0),
        QSizeF(preview_.size()));
}

QPointF TfPdfPage::previewToPage(const QPointF& boxPosition) const
{
    if (previewDpi_ <= 0)
        return {};
    return (boxPosition - previewArea().topLeft()) * (72.0 / previewDpi_);
}

QPointF TfPdfPage::pageToPreview(const QPointF& pagePoint) const
{
    return previewArea().topLeft() + pagePoint * (previewDpi_ / 72.0);
}

void TfPdfPage::paintPreview(QPainter& p)
{
    p.fillRect(pbPreview_->rect(), QColor(128, 128, 128));
    if (preview_.isNull()) {
        p.setPen(Qt::white);
        p.drawText(pbPreview_->rect(), Qt::AlignCenter | Qt::TextWordWrap,
            previewTimer_.isActive() ? QString()
                                     : QStringLiteral("このページのプレビューを表示できません。"));
        return;
    }
    const QRectF area = previewArea();
    p.drawImage(area.topLeft(), preview_);
    if (crop_.isNull())
        return;
    const QRectF cropped = QRectF(pageToPreview(crop_.topLeft()), pageToPreview(crop_.bottomRight()));
    // What is not read is dimmed; the crop keeps its colours.
    QPainterPath outside;
    outside.addRect(area);
    QPainterPath inside;
    inside.addRect(cropped);
    p.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 90));
    p.setPen(QPen(QColor(220, 0, 0), 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(cropped);
}

void TfPdfPage::previewMouse(QMouseEvent* event, bool press, bool release)
{
    if (previewDpi_ <= 0 || preview_.isNull())
        return;
    const QSizeF size = document_.pageSize(page_);
    QPointF at = previewToPage(event->position());
    at = QPointF(std::clamp(at.x(), 0.0, size.width()), std::clamp(at.y(), 0.0, size.height()));
    if (press) {
        if (event->button() == Qt::LeftButton)
            dragStart_ = at;
        return;
    }
    if (!dragStart_)
        return;
    const QRectF dragged = QRectF(*dragStart_, at).normalized();
    const double smallest = kSmallestDrag * 72.0 / previewDpi_;
    const bool click = dragged.width() < smallest || dragged.height() < smallest;
    if (release) {
        dragStart_.reset();
        setCrop(click ? QRectF() : dragged);
    } else if (!click) {
        setCrop(dragged);
    }
}

void TfPdfPage::butOKClick()
{
    // A number still being typed counts, pulled into range, so that the
    // field shows what is rendered.
    udDpi_->interpretText();
    const PdfPageRequest r = request();
    const QString refused = document_.check(r);
    if (!refused.isEmpty()) {
        context_.dialogs.warning(refused);
        return;
    }
    QImage out;
    QString error;
    {
        MainProgress progress(prgRender_);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        error = document_.render(r, out, progress);
        QApplication::restoreOverrideCursor();
    }
    if (!error.isEmpty()) {
        context_.dialogs.error(error);
        return;
    }
    picture_ = out;
    accept();
}

void TfPdfPage::onClosed()
{
    setStoredExtra(0, udDpi_->value());
    thumbnailTimer_.stop();
    previewTimer_.stop();
}

void TfPdfPage::resizeEvent(QResizeEvent* event)
{
    TToolWindow::resizeEvent(event);
    previewTimer_.start();
}

std::optional<QImage> choosePdfPicture(TfrmMain& main, AppContext& context, const QString& path)
{
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::unique_ptr<PdfDocument> document = PdfDocument::openFile(path, error);
    QApplication::restoreOverrideCursor();
    if (!document) {
        context.dialogs.error(error);
        return std::nullopt;
    }
    TfPdfPage dialog(main, context, *document, QFileInfo(path).fileName());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.picture();
}

} // namespace cvg
