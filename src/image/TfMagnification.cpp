#include "image/TfMagnification.h"

#include "image/Magnify.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"
#include "worksheet/DocumentChanges.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

namespace cvg {

namespace {

const QString kNotPositive = QStringLiteral("正の整数を入力してください");
// A field outside what the up-downs allow would make an empty or absurd
// picture; the accept refuses it instead.
const QString kOutOfRange = QStringLiteral("横幅と縦幅は 1 から 10000 までの整数で指定してください。");

QComboBox* factorList(QWidget* parent, const char* name)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    for (int i = 0; i < kFactorCount; ++i)
        list->addItem(factorText(i));
    list->setCurrentIndex(kSameSizeFactor);
    return list;
}

} // namespace

TfMagnification::TfMagnification(TfrmMain& main, AppContext& context)
    : TToolWindow(&main, context, QStringLiteral("Magnification"), { 0, 0 }, kDialogWindowFlags)
    , main_(main)
{
    setObjectName(QStringLiteral("fMagnification"));
    setWindowTitle(QStringLiteral("グラフの拡大・縮小"));
    setWindowModality(Qt::ApplicationModal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);

    grid->addWidget(new QLabel(QStringLiteral("固定倍率"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("横幅"), this), 0, 1);
    cbHorizontal_ = factorList(this, "cbHorizontal");
    grid->addWidget(cbHorizontal_, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("縦幅"), this), 0, 3);
    cbVertical_ = factorList(this, "cbVertical");
    grid->addWidget(cbVertical_, 0, 4);

    grid->addWidget(new QLabel(QStringLiteral("自由指定"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("横幅"), this), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("縦幅"), this), 1, 3);
    for (int axis = 0; axis < 2; ++axis) {
        const bool width = axis == 0;
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(width ? "edtWidth" : "edtHeight"));
        field->setFixedWidth(64);
        auto* upDown = new TUpDown(this);
        upDown->setObjectName(QString::fromLatin1(width ? "udWidth" : "udHeight"));
        upDown->setRange(kMinFreeSize, kMaxFreeSize);
        upDown->setWrapping(false);
        upDown->setKeyboardTracking(false);
        // Only the arrows are used; the field beside them holds the text.
        upDown->field()->hide();
        upDown->setFixedWidth(18);
        auto* pair = new QHBoxLayout;
        pair->setSpacing(0);
        pair->addWidget(field);
        pair->addWidget(upDown);
        grid->addLayout(pair, 1, width ? 2 : 4);
        (width ? edtWidth_ : edtHeight_) = field;
        (width ? udWidth_ : udHeight_) = upDown;
        connect(field, &QLineEdit::textChanged, this, [this, upDown, field] { syncUpDown(upDown, field); });
        // Only what the user typed is examined: a key that changes nothing
        // (for example the one that closed the message box) asks nothing.
        connect(field, &QLineEdit::textEdited, this, [this, width] {
            main_.runCommand([this, width] { width ? edtWidthTyped() : edtHeightTyped(); });
        });
        connect(upDown, &QSpinBox::valueChanged, this, [this, width] {
            if (!programmatic_)
                main_.runCommand([this, width] { width ? udWidthClick() : udHeightClick(); });
        });
    }

    grid->addWidget(new QLabel(QStringLiteral("縦横比率"), this), 2, 0);
    cbRatio_ = new QCheckBox(QStringLiteral("一定にする"), this);
    cbRatio_->setObjectName(QStringLiteral("cbRatio"));
    cbRatio_->setChecked(true);
    grid->addWidget(cbRatio_, 2, 2, 1, 3);
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    auto* accept = new QPushButton(QStringLiteral("実行(&D)"), this);
    accept->setObjectName(QStringLiteral("butAccept"));
    auto* reject = new QPushButton(QStringLiteral("戻す(&R)"), this);
    reject->setObjectName(QStringLiteral("butReject"));
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("butClose"));
    auto* help = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    help->setObjectName(QStringLiteral("butHelp"));
    for (QPushButton* b : { accept, reject, close, help }) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    setFixedSize(sizeHint());

    connect(cbHorizontal_, &QComboBox::activated, this,
        [this] { main_.runCommand([this] { cbHorizontalChange(); }); });
    connect(cbVertical_, &QComboBox::activated, this,
        [this] { main_.runCommand([this] { cbVerticalChange(); }); });
    connect(accept, &QPushButton::clicked, this, [this] { main_.runCommand([this] { butAcceptClick(); }); });
    connect(reject, &QPushButton::clicked, this, [this] { main_.runCommand([this] { butRejectClick(); }); });
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    connect(help, &QPushButton::clicked, this, [this] {
        if (main_.toolWindows())
            main_.toolWindows()->ShowHelpTopic(QStringLiteral("DialogMagnification.htm"));
        stayOnTop();
    });
}

QSpinBox* TfMagnification::udWidth() const
{
    return udWidth_;
}

QSpinBox* TfMagnification::udHeight() const
{
    return udHeight_;
}

QSize TfMagnification::workingSize() const
{
    return main_.doc().images.workingImage.size();
}

void TfMagnification::setFields(QSize size)
{
    edtWidth_->setText(QString::number(size.width()));
    edtHeight_->setText(QString::number(size.height()));
}

void TfMagnification::syncUpDown(TUpDown* upDown, const QLineEdit* field)
{
    const std::optional<int> value = parseSizeText(field->text());
    if (!value)
        return;
    programmatic_ = true;
    upDown->setValue(std::clamp(*value, kMinFreeSize, kMaxFreeSize));
    programmatic_ = false;
}

void TfMagnification::acImageMagnificationExecute()
{
    QAction* act = main_.action(QStringLiteral("acImageMagnification"));
    const Document& doc = main_.doc();
    if (!doc.state.pictureLoaded) {
        act->setChecked(isVisible());
        context_.dialogs.warning(QStringLiteral("画像が読み込まれていません。"));
        return;
    }
    if (doc.calibration.Converted) {
        act->setChecked(isVisible());
        context_.dialogs.warning(QStringLiteral("換算値がすでに計算されています。"));
        return;
    }
    act->setChecked(true);
    setFields(workingSize());
    show();
    raise();
    activateWindow();
}

void TfMagnification::cbHorizontalChange()
{
    const int index = cbHorizontal_->currentIndex();
    const QSize size = workingSize();
    edtWidth_->setText(QString::number(applyFactor(index, size.width())));
    if (cbRatio_->isChecked()) {
        cbVertical_->setCurrentIndex(index);
        edtHeight_->setText(QString::number(applyFactor(index, size.height())));
    }
}

void TfMagnification::cbVerticalChange()
{
    const int index = cbVertical_->currentIndex();
    const QSize size = workingSize();
    edtHeight_->setText(QString::number(applyFactor(index, size.height())));
    if (cbRatio_->isChecked()) {
        cbHorizontal_->setCurrentIndex(index);
        edtWidth_->setText(QString::number(applyFactor(index, size.width())));
    }
}

void TfMagnification::followRatio(bool fromWidth)
{
    QLineEdit* typed = fromWidth ? edtWidth_ : edtHeight_;
    QLineEdit* other = fromWidth ? edtHeight_ : edtWidth_;
    if (typed->text().isEmpty() || !cbRatio_->isChecked())
        return;
    const std::optional<int> value = parseSizeText(typed->text());
    if (!value) {
        context_.dialogs.info(kNotPositive);
        return;
    }
    const QSize size = workingSize();
    const std::optional<qint64> side = fromWidth ? ratioSide(*value, size.width(), size.height())
                                                 : ratioSide(*value, size.height(), size.width());
    if (side)
        other->setText(QString::number(*side));
}

void TfMagnification::edtWidthTyped()
{
    followRatio(true);
}

void TfMagnification::edtHeightTyped()
{
    followRatio(false);
}

void TfMagnification::upDownStepped(bool width)
{
    TUpDown* upDown = width ? udWidth_ : udHeight_;
    (width ? edtWidth_ : edtHeight_)->setText(QString::number(upDown->value()));
    followRatio(width);
}

void TfMagnification::udWidthClick()
{
    upDownStepped(true);
}

void TfMagnification::udHeightClick()
{
    upDownStepped(false);
}

void TfMagnification::ResetDialog()
{
    cbHorizontal_->setCurrentIndex(kSameSizeFactor);
    cbVertical_->setCurrentIndex(kSameSizeFactor);
    setFields(workingSize());
    cbRatio_->setChecked(true);
}

void TfMagnification::butAcceptClick()
{
    const std::optional<int> width = parseSizeText(edtWidth_->text());
    const std::optional<int> height = parseSizeText(edtHeight_->text());
    if (!width || !height)
        return;
    if (!freeSizeAllowed(*width) || !freeSizeAllowed(*height)) {
        context_.dialogs.warning(kOutOfRange);
        return;
    }
    Document& doc = main_.doc();
    const QImage picture = resizedPicture(doc.images.workingImage, *width, *height);
    if (picture.isNull())
        throw std::bad_alloc();

    main_.setShownPicture(picture);
    main_.FitPaintBox(main_.pbGraph());
    if (context_.dialogs.ask(QStringLiteral("編集する画像として採用しますか？")) == MsgResult::Yes) {
        AdoptResizedPicture(doc, picture);
        ResetDialog();
        main_.MarkModified();
        return;
    }
    main_.ShowWorkingImage();
    setFields(workingSize());
}

void TfMagnification::butRejectClick()
{
    Document& doc = main_.doc();
    if (RevertResize(doc)) {
        main_.ShowWorkingImage();
        ResetDialog();
        main_.MarkModified();
        return;
    }
    ResetDialog();
}

void TfMagnification::onClosed()
{
    main_.action(QStringLiteral("acImageMagnification"))->setChecked(false);
}

} // namespace cvg
