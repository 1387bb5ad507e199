#include "GuiFixture.h"

#include "platform/ByteIO.h"

#include <QApplication>
#include <QMouseEvent>

namespace cvg::test {

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
    Qt::KeyboardModifiers modifiers)
{
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

QByteArray ints(std::initializer_list<int32_t> values)
{
    QByteArray out;
    for (int32_t v : values)
        putI32(out, v);
    return out;
}

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
