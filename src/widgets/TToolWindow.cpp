#include "widgets/TToolWindow.h"

#include "platform/ByteIO.h"
#include "shell/AppContext.h"
#include "settings/SettingsRecords.h"

#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <algorithm>
#include <cstdlib>


namespace cvg {

namespace {
QByteArray encodeInts(const std::vector<int32_t>& v)
{
    QByteArray out;
    for (int32_t x : v)
        putI32(out, x);
    return out;
}
} // namespace

TToolWindow::TToolWindow(QWidget* parent, AppContext& context, const QString& valueName,
                         std::vector<int32_t> defaults, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , context_(context)
    , valueName_(valueName)
    , fields_(defaults.size(), 0)
{
    if (fields_.empty())
        return; // the window keeps a record of its own layout
    storedPlace_ = hasStoredValue(context, valueName, int(4 * fields_.size()));
    const std::optional<QByteArray> bytes = readRecord(context.store, valueName, encodeInts(defaults));
    if (bytes) {
        const auto* p = reinterpret_cast<const uchar*>(bytes->constData());
        for (size_t i = 0; i < fields_.size(); ++i)
            fields_[i] = getI32(p + 4 * i);
    }
    // A position from a damaged settings value could put the window where
    // no screen ever shows it (and overflow Qt's geometry sums): such a
    // window starts at the screen's top-left corner instead.
    const int reach = 4 * std::max(context.screenSize.width(), context.screenSize.height());
    if (std::abs(int64_t(fields_[0])) > reach || std::abs(int64_t(fields_[1])) > reach)
        fields_[0] = fields_[1] = 0;
    move(fields_[0], fields_[1]);
}

bool hasStoredValue(const AppContext& context, const QString& name, int size)
{
    if (!context.store.available())
        return false;
    const std::optional<QByteArray> stored = context.store.value(name);
    return stored && stored->size() == size;
}

void TToolWindow::showEvent(QShowEvent* event)
{
    if (!storedPlace_ && !placedOnce_) {
        placedOnce_ = true;
        move(firstPlace());
    }
    QDialog::showEvent(event);
}

QPoint TToolWindow::firstPlace() const
{
    // Tool windows first shown in one run step down and left from the main
    // window's top-right corner, below its menus and tool bars: they cover the
    // worksheet panel, never the menus or the picture's top-left corner where
    // the axes are marked.
    QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main)
        return pos();
    const int slot = main->property("cvgToolWindowSlot").toInt();
    main->setProperty("cvgToolWindowSlot", slot + 1);
    const QWidget* below = main->findChild<QWidget*>(QStringLiteral("pnSheet"));
    const QRect frame = main->frameGeometry();
    const int top = below && below->isVisible() ? below->mapToGlobal(QPoint(0, 0)).y() : frame.top() + 80;
    const int step = 24 * (slot % 8);
    QPoint place(frame.right() - frameGeometry().width() - 8 - step, top + 8 + step);
    if (const QScreen* screen = main->screen()) {
        // On the screen, or at least beside the main window when that stands
        // partly beyond the screen.
        const QRect area = screen->availableGeometry().united(frame);
        place.setX(std::clamp(place.x(), area.left(), std::max(area.left(), area.right() - frameGeometry().width())));
        place.setY(std::clamp(place.y(), area.top(), std::max(area.top(), area.bottom() - frameGeometry().height())));
    }
    return place;
}

void TToolWindow::writeSettings()
{
    if (fields_.empty())
        return;
    fields_[0] = x();
    fields_[1] = y();
    if (context_.store.available())
        context_.store.setValue(valueName_, encodeInts(fields_));
}

void TToolWindow::stayOnTop()
{
    const Qt::WindowFlags flags = windowFlags() | Qt::WindowStaysOnTopHint;
    if (isVisible() && windowHandle()) {
        // Changing a shown widget's flags hides it, which would also end a
        // modal dialog's exec(): the shown window is told directly instead.
        overrideWindowFlags(flags);
        windowHandle()->setFlags(flags);
        raise();
        return;
    }
    setWindowFlags(flags);
}

void TToolWindow::done(int result)
{
    // Every way of closing (button, close box, Esc) ends here.
    if (!closeQuery())
        return;
    QDialog::done(result);
    onClosed();
    writeSettings();
    Q_EMIT closed();
}

} // namespace cvg
