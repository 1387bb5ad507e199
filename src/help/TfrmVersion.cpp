#include "help/TfrmVersion.h"

#include "shell/AppContext.h"
#include "shell/Icons.h"
#include "help/ShellLaunch.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace cvg {

namespace {

constexpr int kClientWidth = 276;
constexpr int kClientHeight = 178;

QFont linkFont()
{
    // The serif face the window was drawn with; the nearest serif font
    // stands in where it is not installed.
    QFont font;
    font.setFamilies({ QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
        QStringLiteral("Tinos"), QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif Condensed"),
        QStringLiteral("serif") });
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

// A wider stand-in face must not cut the text off: the character height
// gives way until the text fits its label.
void fitText(QLabel* label)
{
    QFont font = label->font();
    for (int size = 16; size >= 9; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(label->text()) <= label->width())
            break;
    }
    label->setFont(font);
}

} // namespace

TfrmVersion::TfrmVersion(QWidget* parent, AppContext& context)
    : QDialog(parent,
        Qt::Dialog | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint)
    , context_(context)
{
    setObjectName(QStringLiteral("frmVersion"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);
    setMouseTracking(true);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imIcon"));
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setGeometry(12, 12, 32, 32);

    lblVersion_ = new QLabel(this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    lblVersion_->setFont(linkFont());
    lblVersion_->setGeometry(52, 18, 220, 22);

    const QString targets[2] = { kMakerWebPage, kMakerMailAddress };
    const QString hints[2] = { QStringLiteral("最新版をチェック"), QStringLiteral("作者に電子メールを送信") };
    for (int tag = 0; tag < 2; ++tag) {
        auto* label = new QLabel(targets[tag], this);
        label->setObjectName(QStringLiteral("lblAddress%1").arg(tag));
        label->setProperty("tag", tag);
        label->setToolTip(hints[tag]);
        label->setFont(linkFont());
        label->setCursor(Qt::PointingHandCursor);
        label->setMouseTracking(true);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        label->setGeometry(4, 62 + 34 * tag, kClientWidth - 8, 24);
        setLinkColour(label, Qt::black);
        fitText(label);
        label->installEventFilter(this);
    }

    buClose_ = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    buClose_->setObjectName(QStringLiteral("buClose"));
    buClose_->setGeometry((kClientWidth - 75) / 2, 140, 75, 25);
    connect(buClose_, &QPushButton::clicked, this, &QDialog::accept);
}

QString TfrmVersion::versionText()
{
    return QStringLiteral("Curvegleaner32 Ver. ") + QStringLiteral("1.27");
}

QLabel* TfrmVersion::lblAddress(int tag) const
{
    return findChild<QLabel*>(QStringLiteral("lblAddress%1").arg(tag));
}

void TfrmVersion::prepareShowing()
{
    lblVersion_->setText(versionText());
    fitText(lblVersion_);
    move(
        (context_.screenSize.width() - kClientWidth) / 2, (context_.screenSize.height() - kClientHeight) / 2);
}

int TfrmVersion::ShowModal()
{
    prepareShowing();
    return exec();
}

void TfrmVersion::setLinkColour(QLabel* label, Qt::GlobalColor colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

bool TfrmVersion::eventFilter(QObject* watched, QEvent* event)
{
    auto* label = qobject_cast<QLabel*>(watched);
    if (label && label->property("tag").isValid()) {
        switch (event->type()) {
        case QEvent::Enter:
            setLinkColour(label, Qt::blue);
            break;
        case QEvent::MouseMove:
            // Kept from the window, whose own move handler makes the links black.
            setLinkColour(label, Qt::blue);
            return true;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint()))
                lblAddressClick(label);
            return true;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmVersion::mouseMoveEvent(QMouseEvent* event)
{
    for (int tag = 0; tag < 2; ++tag)
        if (QLabel* label = lblAddress(tag))
            setLinkColour(label, Qt::black);
    QDialog::mouseMoveEvent(event);
}

void TfrmVersion::lblAddressClick(QLabel* label)
{
    switch (label->property("tag").toInt()) {
    case 0:
        shellLauncher().openUrl(QUrl(kMakerWebPage));
        break;
    case 1:
        shellLauncher().openUrl(QUrl(kMakerMailAddress));
        break;
    default:
        break;
    }
}

} // namespace cvg
