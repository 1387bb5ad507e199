#include "Installer.h"
#include "ProductFiles.h"
#include "QtDesktopShell.h"
#include "QtSetupDialogs.h"
#include "TfrMain.h"

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    using namespace cvg::setup;
    QApplication app(argc, argv);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    const QTemporaryDir toolkitState;
    prepareToolkitDialogs(app, toolkitState.path());
    QtSetupDialogs dialogs;
    QtDesktopShell shell;
    Installer installer(QApplication::applicationDirPath(), UserFolders::fromEnvironment(), dialogs, shell);
    TfrMain frMain(installer, shell, dialogs, isUninstallMode(arguments));
    dialogs.setParentWidget(&frMain);
    frMain.show();
    return app.exec();
}
