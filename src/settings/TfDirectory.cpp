// The data directory dialog: shows and chooses the folder the open dialog
// starts in.
#include "settings/TfDirectory.h"

#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QLineEdit>
#include <QPushButton>

namespace cvg {

TfDirectory::TfDirectory(QWidget* parent, AppContext& context)
    : TToolWindow(parent, context, QStringLiteral("Directory"), {}, kDialogWindowFlags)
{
    setObjectName(QStringLiteral("fDirectory"));
    setWindowTitle(QStringLiteral("ディレクトリの指定"));
    setModal(true);

    storedPlace_ = hasStoredValue(context, QStringLiteral("Directory"), int(DirectorySettings::defaults(context.programFolder).encode().size()));
    record_ = loadRecord<DirectorySettings>(context.store, QStringLiteral("Directory"),
                                            DirectorySettings::defaults(context.programFolder));
    move(record_.left, record_.top);
    dataDirectory_ = record_.path();
    startupDirectory_ = dataDirectory_;

    edtDirectory_ = new QLineEdit(this);
    edtDirectory_->setObjectName(QStringLiteral("edtDirectory"));
    edtDirectory_->setGeometry(8, 8, 217, 21);
    edtDirectory_->setText(dataDirectory_);
    auto* change = new QPushButton(QStringLiteral("..."), this);
    change->setObjectName(QStringLiteral("butChange"));
    change->setGeometry(227, 8, 20, 20);
    auto* cancel = new QPushButton(QStringLiteral("戻す(&R)"), this);
    cancel->setObjectName(QStringLiteral("butCancel"));
    cancel->setGeometry(8, 42, 75, 25);
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("butClose"));
    close->setGeometry(89, 42, 75, 25);
    auto* help = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    help->setObjectName(QStringLiteral("butHelp"));
    help->setGeometry(170, 42, 75, 25);
    setFixedSize(254, 74);

    connect(change, &QPushButton::clicked, this, &TfDirectory::butChangeClick);
    connect(cancel, &QPushButton::clicked, this, &TfDirectory::butCancelClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(help, &QPushButton::clicked, this, [this] {
        if (auto* main = qobject_cast<TfrmMain*>(parentWidget()); main && main->toolWindows())
            main->toolWindows()->ShowHelpTopic(QStringLiteral("DialogDirectory.htm"));
        stayOnTop();
    });
}

void TfDirectory::showEvent(QShowEvent* event)
{
    edtDirectory_->setText(record_.path());
    TToolWindow::showEvent(event);
}

void TfDirectory::butChangeClick()
{
    const std::optional<QString> folder =
        context_.dialogs.chooseFolder(QStringLiteral("データフォルダーを選択して下さい"));
    if (!folder)
        return;
    // The stored field holds at most 255 bytes of the path.
    record_.setPath(*folder);
    dataDirectory_ = record_.path();
    edtDirectory_->setText(dataDirectory_);
}

void TfDirectory::butCancelClick()
{
    edtDirectory_->setText(startupDirectory_);
}

void TfDirectory::onClosed()
{
    record_.left = x();
    record_.top = y();
    saveRecord(context_.store, QStringLiteral("Directory"), record_);
}

} // namespace cvg
