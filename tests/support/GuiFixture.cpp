#include "GuiFixture.h"

#include <QApplication>

namespace cvg::test {

void GuiFixture::SetUp()
{
    context = std::make_unique<AppContext>(AppContext{store, dialogs, QStringLiteral("/opt/cvg/"), {}});
}

void GuiFixture::start()
{
    windows.reset();
    main = std::make_unique<TfrmMain>(*context);
    windows = std::make_unique<ToolWindows>(*main, *context);
    main->setToolWindows(windows.get());
}

bool GuiFixture::closeMain()
{
    const bool closed = main->close();
    QApplication::processEvents();
    return closed;
}

void GuiFixture::TearDown()
{
    if (main)
        main->setToolWindows(nullptr);
    windows.reset();
    main.reset();
    dialogs.verify();
}

} // namespace cvg::test
