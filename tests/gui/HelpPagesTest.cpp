// The help file the build makes describes what the program shows: every
// control of the trace window's tool bar on that window's page, every kind
// of picture the open dialog offers, and pasting a picture.
#include "GuiFixture.h"

#include "help/ChmFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QToolBar>

#include <map>

using namespace cvg;
using namespace cvg::test;

namespace {

// A caption as the help writes it: without its access key.
QString caption(QString text)
{
    static const QRegularExpression accessKey(QStringLiteral(R"(\(&.\))"));
    return text.remove(accessKey).remove(QLatin1Char('&')).trimmed();
}

void collectPages(
    const ChmFile& file, const std::vector<HelpEntry>& entries, std::map<QString, QString>& pages)
{
    for (const HelpEntry& entry : entries) {
        const QString page = entry.local.section(QLatin1Char('#'), 0, 0);
        if (!page.isEmpty() && !pages.count(page)) {
            const std::optional<QByteArray> bytes = file.read(chmObjectPath(page));
            EXPECT_TRUE(bytes.has_value()) << page.toStdString();
            if (bytes)
                pages[page] = QTextDocumentFragment::fromHtml(decodeHtml(*bytes)).toPlainText();
        }
        collectPages(file, entry.children, pages);
    }
}

class HelpPagesTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        const std::unique_ptr<ChmFile> file = ChmFile::open(QStringLiteral(CVG_HELP_FILE));
        ASSERT_NE(file, nullptr) << "the build's help file: " << CVG_HELP_FILE;
        const std::optional<QByteArray> contents = file->read(chmObjectPath(file->contentsFile()));
        ASSERT_TRUE(contents.has_value());
        collectPages(*file, parseSitemap(decodeHtml(*contents)), pages);
        for (const auto& [name, text] : pages)
            allText += text + QLatin1Char('\n');
        start();
    }

    std::map<QString, QString> pages; // topic -> text, for every page of the contents
    QString allText;
};

TEST_F(HelpPagesTest, TraceWindowPageNamesEveryControlOfItsToolBar)
{
    // Each control by its caption or its tip (what an icon button shows);
    // the number fields have only their tips; a list names each choice.
    std::vector<QStringList> controls;
    for (const char* name : { "tbTrace", "tbReading" }) {
        const auto* bar = windows->frmTrace->findChild<QToolBar*>(QString::fromLatin1(name));
        ASSERT_NE(bar, nullptr) << name;
        for (const QAbstractButton* b : bar->findChildren<QAbstractButton*>())
            if (!caption(b->text()).isEmpty())
                controls.push_back({ caption(b->text()), b->toolTip() });
        for (const QComboBox* list : bar->findChildren<QComboBox*>())
            for (int i = 0; i < list->count(); ++i)
                controls.push_back({ list->itemText(i) });
        for (const QLineEdit* e : bar->findChildren<QLineEdit*>())
            if (!qobject_cast<const QComboBox*>(e->parent()))
                controls.push_back({ e->toolTip() });
    }
    ASSERT_GE(controls.size(), 24u);
    ASSERT_EQ(pages.count(QStringLiteral("DialogLine.htm")), 1u);
    const QString& page = pages[QStringLiteral("DialogLine.htm")];
    for (const QStringList& names : controls) {
        const bool named = std::any_of(
            names.begin(), names.end(), [&](const QString& n) { return !n.isEmpty() && page.contains(n); });
        EXPECT_TRUE(named) << "not on the page: " << names.join(QStringLiteral(" / ")).toStdString();
    }
}

TEST_F(HelpPagesTest, HelpNamesEveryPictureTheOpenDialogOffersAndPasting)
{
    QString filter;
    dialogs.expectOpen(FileDialogResult {}, [&](const FileDialogRequest& r) { filter = r.filter; });
    main->action(QStringLiteral("OpenBitmap"))->trigger();
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList patterns;
    for (qsizetype i = 1; i < parts.size(); i += 2)
        patterns << parts[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_GE(patterns.size(), 10);
    for (const QString& p : patterns)
        EXPECT_TRUE(allText.contains(p)) << p.toStdString();

    const QAction* paste = main->action(QStringLiteral("PastePicture"));
    ASSERT_NE(paste, nullptr);
    EXPECT_TRUE(allText.contains(caption(paste->text()))) << paste->text().toStdString();
    EXPECT_TRUE(allText.contains(paste->shortcut().toString())) << paste->shortcut().toString().toStdString();
}

} // namespace
