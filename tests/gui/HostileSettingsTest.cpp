// Settings values of the right size but with any bytes in them (a damaged or
// hand-edited settings file): every window still starts, shows its work and
// closes, and stays where a screen can show it.
#include "GuiFixture.h"
#include "TestPictures.h"

#include <QApplication>
#include <QRandomGenerator>

using namespace cvg;
using namespace cvg::test;

namespace {

const std::pair<const char*, int> kValues[] = {
    { "Main", 286 },
    { "Directory", 264 },
    { "Deform", 8 },
    { "Edit", 8 },
    { "Image", 8 },
    { "Magnification", 8 },
    { "Sheet", 8 },
    { "Spline", 12 },
    { "Mark", 16 },
    { "Scope", 12 },
    { "Trace", 16 },
    { "TraceColour", 12 },
};

} // namespace

class HostileSettingsTest : public GuiFixture { };

TEST_F(HostileSettingsTest, EveryWindowStartsWorksAndClosesWithAnyStoredBytes)
{
    const std::vector<int> fills = { 0x00, 0xFF, 0x7F, 0x80, 0x01, -1, -2 }; // -1, -2: random bytes
    for (const int fill : fills) {
        SCOPED_TRACE(fill);
        QRandomGenerator random(uint32_t(fill + 100));
        for (const auto& [name, size] : kValues) {
            QByteArray bytes(size, char(fill));
            if (fill < 0)
                for (char& c : bytes)
                    c = char(random.bounded(256));
            store.setValue(QString::fromLatin1(name), bytes);
        }
        start();
        main->show();
        QApplication::processEvents();

        // A document with a picture and points on it, so that the stored
        // row height, tab settings and marker sizes all come into play.
        Document& doc = main->doc();
        doc.images.workingImage = drawGraph(300, 200);
        doc.state.pictureLoaded = true;
        main->ShowWorkingImage();
        std::vector<Point> points;
        for (int i = 0; i < 2000; ++i)
            points.push_back({ i % 300, i % 200 });
        doc.sheets.page(0).points = points;
        main->pointsChanged();
        main->RedrawPointMarkers(true);
        QApplication::processEvents();

        const int reach = 4 * 1920;
        for (TToolWindow* w : { windows->frmScope, windows->fImage, windows->fMagnification,
                 windows->frmSpline, windows->frmTrace, windows->frmSheet }) {
            EXPECT_LE(std::abs(w->x()), reach) << w->objectName().toStdString();
            EXPECT_LE(std::abs(w->y()), reach) << w->objectName().toStdString();
            w->show();
            QApplication::processEvents();
            w->reject(); // as Esc does
            QApplication::processEvents();
        }
        main->doc().state.modified = false;
        EXPECT_TRUE(closeMain());
        // Every value is written back at its own size.
        for (const auto& [name, size] : kValues) {
            const std::optional<QByteArray> stored = store.value(QString::fromLatin1(name));
            ASSERT_TRUE(stored) << name;
            EXPECT_EQ(stored->size(), size) << name;
        }
        main->setToolWindows(nullptr);
        windows.reset();
        main.reset();
    }
}
