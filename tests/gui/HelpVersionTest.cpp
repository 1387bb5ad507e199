// Help file, help window, version window and the launches to the desktop.
#include "GuiFixture.h"

#include "platform/ByteIO.h"
#include "platform/Cp932.h"
#include "help/ChmFile.h"
#include "help/ShellLaunch.h"
#include "help/THelpViewer.h"
#include "worksheet/TfrmSheet.h"
#include "help/TfrmVersion.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

using namespace cvg;
using namespace cvg::test;

namespace {

// Records what would go to the desktop; knows a chosen set of programs.
class RecordingLauncher final : public ShellLauncher {
public:
    void openUrl(const QUrl& url) override { urls << url.toString(); }
    QString findProgram(const QString& name) const override
    {
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    }
    void startProgram(const QString& program, const QStringList& arguments) override
    {
        started << program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
    }

    QStringList urls;
    QStringList started;
    QStringList installed;
};

QByteArray pngOfRedSquare()
{
    QImage image(3, 3, QImage::Format_RGB888);
    image.fill(QColor(255, 0, 0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray utf8(const char* text)
{
    return QByteArray(text);
}

const char* const kProject = "[OPTIONS]\n"
                             "Compatibility=1.1 or later\n"
                             "Compiled file=cvghelp.chm\n"
                             "Contents file=test.hhc\n"
                             "Index file=test.hhk\n"
                             "Default topic=Introduction.htm\n"
                             "Display compile progress=No\n"
                             "Language=0x411 Japanese\n"
                             "Title=テストのヘルプ\n"
                             "\n"
                             "[FILES]\n"
                             "Introduction.htm\n"
                             "DialogDeform.htm\n"
                             "sub/Deep.htm\n"
                             "images/dot.png\n";

const char* const kContents
    = "<HTML><HEAD><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></HEAD><BODY>\n"
      "<OBJECT type=\"text/site properties\"><param name=\"ImageType\" value=\"Folder\"></OBJECT>\n"
      "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"はじめに\">"
      "<param name=\"Local\" value=\"Introduction.htm\"></OBJECT>\n"
      "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"歪修正\">"
      "<param name=\"Local\" value=\"DialogDeform.htm\"></OBJECT>\n"
      "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"深いページ\">"
      "<param name=\"Local\" value=\"sub/Deep.htm\"></OBJECT></UL></UL></BODY></HTML>\n";

const char* const kIndex
    = "<HTML><HEAD><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></HEAD><BODY><UL>\n"
      "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"歪\"><param name=\"Local\" "
      "value=\"DialogDeform.htm\"></OBJECT>\n"
      "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Beta\"><param name=\"Local\" "
      "value=\"sub/Deep.htm\"></OBJECT>\n"
      "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"alpha\"><param name=\"Local\" "
      "value=\"Introduction.htm\"></OBJECT>\n"
      "</UL></BODY></HTML>\n";

QByteArray introductionPage(const char* text)
{
    return utf8("<html><head><meta charset=\"utf-8\"><title>はじめに</title></head><body>"
                "<p><a name=\"top\"></a>")
        + utf8(text)
        + utf8(
            "</p><p><a href=\"DialogDeform.htm\">歪修正へ</a> <a "
            "href=\"https://www.example.com/more\">外部</a> "
            "<a href=\"mailto:someone@example.com\">メール</a> <a href=\"file:///etc/passwd\">ファイル</a> "
            "<a href=\"ms-its:cvghelp.chm::/sub/Deep.htm\">長い形</a></p>"
            "<p><img src=\"images/dot.png\"></p></body></html>");
}

// The help file the tests read: pages in three encodings, a picture, links
// between pages and to the outside, contents and index.
QString compileHelp(const QString& folder, const char* introduction)
{
    QDir().mkpath(folder + QStringLiteral("/images"));
    QDir().mkpath(folder + QStringLiteral("/sub"));
    const QByteArray deform = toCp932(QStringLiteral(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
        "<title>歪修正</title></head><body><p>歪修正①の説明</p><p><a "
        "href=\"sub/Deep.htm\">深い</a></p></body></html>"));
    QStringEncoder eucJp("EUC-JP");
    const QByteArray deep = eucJp.encode(QStringLiteral(
        "<html><head><meta http-equiv='Content-Type' content='text/html; charset=EUC-JP'></head><body>"
        "<p>深いページ</p><a href=\"../Introduction.htm#top\">上へ</a><img "
        "src=\"../images/dot.png\"></body></html>"));
    const std::pair<const char*, QByteArray> files[]
        = { { "cvghelp.hhp", utf8(kProject) }, { "test.hhc", utf8(kContents) }, { "test.hhk", utf8(kIndex) },
              { "Introduction.htm", introductionPage(introduction) }, { "DialogDeform.htm", deform },
              { "sub/Deep.htm", deep }, { "images/dot.png", pngOfRedSquare() } };
    for (const auto& [name, bytes] : files) {
        QFile out(folder + QLatin1Char('/') + QString::fromLatin1(name));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
            ADD_FAILURE() << "cannot write " << name;
            return {};
        }
    }
    const QString chmcmd = QStandardPaths::findExecutable(QStringLiteral("chmcmd"));
    if (chmcmd.isEmpty()) {
        ADD_FAILURE() << "chmcmd (fp-utils) is needed to compile the help file";
        return {};
    }
    QFile::remove(folder + QStringLiteral("/cvghelp.chm"));
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(chmcmd, { QStringLiteral("cvghelp.hhp") });
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << "chmcmd failed: " << process.readAll().toStdString();
        return {};
    }
    return folder + QStringLiteral("/cvghelp.chm");
}

void clickAt(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(widget, button, {}, at);
    QTest::mouseRelease(widget, button, {}, at);
}

// Clicks the link whose text is given, where the browser shows it.
void clickLink(THelpBrowser* browser, const QString& text)
{
    const QTextCursor found = browser->document()->find(text);
    ASSERT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor middle(browser->document());
    middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
    browser->setTextCursor(QTextCursor(browser->document()));
    browser->ensureCursorVisible();
    QApplication::processEvents();
    clickAt(browser->viewport(), browser->cursorRect(middle).center());
}

QColor textColour(QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace

class HelpVersionTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        previousLauncher = setShellLauncher(&launcher);
        ASSERT_TRUE(folder.isValid());
        context->programFolder = folder.path() + QLatin1Char('/');
    }
    void TearDown() override
    {
        setShellLauncher(previousLauncher);
        GuiFixture::TearDown();
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    THelpViewer* viewer() const
    {
        return main->findChild<THelpViewer*>(QStringLiteral("HelpViewer"), Qt::FindDirectChildrenOnly);
    }
    QString shownText() const { return viewer()->browser()->toPlainText(); }

    RecordingLauncher launcher;
    ShellLauncher* previousLauncher = nullptr;
    QTemporaryDir folder;
};

TEST_F(HelpVersionTest, MissingOrUnreadableHelpFileIsReported)
{
    start();
    main->show();
    EXPECT_EQ(main->action(QStringLiteral("acHelp"))->shortcut(), QKeySequence(Qt::Key_F1));
    const QString path = folder.path() + QStringLiteral("/cvghelp.chm");

    // The program's folder, the delimiter and the name, then the text.
    dialogs.expectInfo(path + QStringLiteral("ファイルが見つかりませんでした"));
    trigger("acHelp");
    EXPECT_EQ(viewer(), nullptr);

    // A folder of that name is no help file either.
    ASSERT_TRUE(QDir().mkdir(path));
    dialogs.expectInfo(path + QStringLiteral("ファイルが見つかりませんでした"));
    windows->ShowHelpTopic(QStringLiteral("DialogEdit.htm"));
    ASSERT_TRUE(QDir().rmdir(path));

    // A file that is there but is no compiled help file.
    QFile junk(path);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    dialogs.expectMessage(path + QStringLiteral("はヘルプファイルとして読めませんでした"), MsgIcon::Warning,
        MsgButtons::OK, MsgResult::OK);
    trigger("acHelp");
    ASSERT_NE(viewer(), nullptr);
    EXPECT_FALSE(viewer()->isVisible());
}

TEST_F(HelpVersionTest, TopicsPagesPicturesAndLinksComeFromTheHelpFile)
{
    const QString path = compileHelp(folder.path(), "はじめのページ");
    ASSERT_FALSE(path.isEmpty());
    start();
    main->show();

    windows->ShowHelpTopic(QStringLiteral("DialogDeform.htm"));
    THelpViewer* help = viewer();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->parent(), main.get());
    EXPECT_EQ(help->pos(), QPoint((1920 - help->width()) / 2, (1080 - help->height()) / 2));
    EXPECT_EQ(help->windowTitle(), QStringLiteral("テストのヘルプ"));
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/DialogDeform.htm"));
    // A Shift-JIS page with a character only code page 932 holds.
    EXPECT_TRUE(shownText().contains(QStringLiteral("歪修正①の説明"))) << shownText().toStdString();

    trigger("acHelp");
    EXPECT_EQ(viewer(), help); // one window for every topic
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/Introduction.htm"));
    EXPECT_TRUE(shownText().contains(QStringLiteral("はじめのページ")));
    THelpBrowser* browser = help->browser();

    // The picture comes out of the file.
    const QImage dot = QImage::fromData(
        browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("images/dot.png")))
            .toByteArray());
    ASSERT_EQ(dot.size(), QSize(3, 3));
    EXPECT_EQ(dot.pixelColor(1, 1), QColor(255, 0, 0));
    bool pictureShown = false;
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            pictureShown
                |= it.fragment().charFormat().toImageFormat().name() == QLatin1String("images/dot.png");
    EXPECT_TRUE(pictureShown);

    // Links between pages, Back and Forward.
    clickLink(browser, QStringLiteral("歪修正へ"));
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/DialogDeform.htm"));
    auto* back = help->findChild<QAction*>(QStringLiteral("acHelpBack"));
    auto* forward = help->findChild<QAction*>(QStringLiteral("acHelpForward"));
    ASSERT_TRUE(back && forward);
    EXPECT_TRUE(back->isEnabled());
    back->trigger();
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/Introduction.htm"));
    EXPECT_TRUE(forward->isEnabled());
    forward->trigger();
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/DialogDeform.htm"));

    // A page in a folder, in yet another encoding, with relative links up.
    clickLink(browser, QStringLiteral("深い"));
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/sub/Deep.htm"));
    EXPECT_TRUE(shownText().contains(QStringLiteral("深いページ")));
    EXPECT_FALSE(
        browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("../images/dot.png")))
            .toByteArray()
            .isEmpty());
    clickLink(browser, QStringLiteral("上へ"));
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/Introduction.htm"));
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("top"));
    clickLink(browser, QStringLiteral("長い形"));
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/sub/Deep.htm"));
    back->trigger();

    // Web and mail links go to the desktop; other schemes go nowhere.
    EXPECT_TRUE(launcher.urls.isEmpty());
    clickLink(browser, QStringLiteral("外部"));
    clickLink(browser, QStringLiteral("メール"));
    clickLink(browser, QStringLiteral("ファイル"));
    EXPECT_EQ(launcher.urls,
        (QStringList {
            QStringLiteral("https://www.example.com/more"), QStringLiteral("mailto:someone@example.com") }));
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/Introduction.htm"));
    EXPECT_TRUE(
        browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("file:///etc/hostname")))
            .isNull());

    // A topic the file does not hold.
    windows->ShowHelpTopic(QStringLiteral("DialogNone.htm"));
    EXPECT_TRUE(shownText().contains(QStringLiteral("ページが見つかりません")));
    EXPECT_TRUE(shownText().contains(QStringLiteral("「DialogNone.htm」はこのヘルプファイルにありません。")));

    // Contents: the tree of the contents file; a click shows its page.
    QTreeWidget* contents = help->contents();
    ASSERT_EQ(contents->topLevelItemCount(), 1);
    QTreeWidgetItem* top = contents->topLevelItem(0);
    EXPECT_EQ(top->text(0), QStringLiteral("はじめに"));
    ASSERT_EQ(top->childCount(), 2);
    EXPECT_EQ(top->child(0)->text(0), QStringLiteral("歪修正"));
    EXPECT_EQ(top->child(1)->text(0), QStringLiteral("深いページ"));
    contents->scrollToItem(top->child(1));
    clickAt(contents->viewport(), contents->visualItemRect(top->child(1)).center());
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/sub/Deep.htm"));
    windows->ShowHelpTopic(QStringLiteral("DialogDeform.htm"));
    EXPECT_EQ(contents->currentItem(), top->child(0));

    // Index: sorted without regard to case; typing narrows it, Enter opens.
    QListWidget* keywords = help->keywords();
    ASSERT_EQ(keywords->count(), 3);
    EXPECT_EQ(keywords->item(0)->text() + keywords->item(1)->text() + keywords->item(2)->text(),
        QStringLiteral("alphaBeta歪"));
    auto* keyword = help->findChild<QLineEdit*>(QStringLiteral("edtKeyword"));
    ASSERT_NE(keyword, nullptr);
    keyword->setText(QStringLiteral("bet"));
    EXPECT_TRUE(keywords->item(0)->isHidden());
    EXPECT_FALSE(keywords->item(1)->isHidden());
    EXPECT_TRUE(keywords->item(2)->isHidden());
    QTest::keyClick(keyword, Qt::Key_Return);
    EXPECT_EQ(help->currentTopic(), QStringLiteral("/sub/Deep.htm"));
}

TEST_F(HelpVersionTest, ReplacedHelpFileIsReadAgain)
{
    ASSERT_FALSE(compileHelp(folder.path(), "古い版").isEmpty());
    start();
    trigger("acHelp");
    ASSERT_NE(viewer(), nullptr);
    EXPECT_TRUE(shownText().contains(QStringLiteral("古い版")));
    ASSERT_FALSE(compileHelp(folder.path(), "新しい版の説明です").isEmpty());
    trigger("acHelp");
    EXPECT_TRUE(shownText().contains(QStringLiteral("新しい版の説明です"))) << shownText().toStdString();
    EXPECT_FALSE(viewer()->browser()->isBackwardAvailable());
}

TEST_F(HelpVersionTest, HelpFromAModalDialogStandsInFrontOfIt)
{
    ASSERT_FALSE(compileHelp(folder.path(), "はじめ").isEmpty());
    start();
    main->show();
    auto* sheet = static_cast<TfrmSheet*>(windows->frmSheet);
    bool ran = false;
    QTimer::singleShot(0, sheet, [&] {
        ran = true;
        sheet->findChild<QPushButton*>(QStringLiteral("butHelp"))->click();
        ASSERT_NE(viewer(), nullptr);
        EXPECT_EQ(viewer()->currentTopic(), QStringLiteral("/DialogWorksheet.htm"));
        // Not blocked by the modal dialog, which itself stays on top.
        EXPECT_EQ(viewer()->windowHandle()->transientParent(), sheet->windowHandle());
        EXPECT_TRUE(sheet->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(sheet->isVisible());
        sheet->close();
    });
    trigger("SheetConfigulation");
    EXPECT_TRUE(ran);
    trigger("acHelp");
    EXPECT_EQ(viewer()->windowHandle()->transientParent(), main->windowHandle());
}

TEST_F(HelpVersionTest, HelpFileRecordsCharsetsAndContentsAreReadSafely)
{
    // The system record: strings by code; a length past the end stops the reading.
    QByteArray record("\x03\x00\x00\x00", 4);
    const auto entry = [&record](uint16_t code, const QByteArray& text) {
        putU16(record, code);
        putU16(record, uint16_t(text.size()));
        record += text;
    };
    entry(3, QByteArray("Title\0", 6));
    entry(2, QByteArray("Introduction.htm\0", 17));
    entry(9, QByteArray("HHA Version 4.74.8702\0", 22));
    entry(0, QByteArray("a.hhc\0", 6));
    entry(1, QByteArray("a.hhk", 5)); // without its terminating zero
    putU16(record, 3);
    putU16(record, 1000);
    record += "Long";
    const ChmSystemRecord parsed = parseChmSystemRecord(record);
    EXPECT_EQ(parsed.title, QByteArray("Title"));
    EXPECT_EQ(parsed.defaultTopic, QByteArray("Introduction.htm"));
    EXPECT_EQ(parsed.contentsFile, QByteArray("a.hhc"));
    EXPECT_EQ(parsed.indexFile, QByteArray("a.hhk"));
    for (const QByteArray& shortRecord : { QByteArray(), QByteArray("\x03\x00", 2), record.left(6) }) {
        const ChmSystemRecord none = parseChmSystemRecord(shortRecord);
        EXPECT_TRUE(none.title.isEmpty() && none.defaultTopic.isEmpty() && none.contentsFile.isEmpty());
    }

    // Declared charsets.
    EXPECT_EQ(declaredCharset("\xEF\xBB\xBF<html>"), QByteArray("UTF-8"));
    EXPECT_EQ(declaredCharset("\xFF\xFE<\0h\0"), QByteArray("UTF-16LE"));
    EXPECT_EQ(declaredCharset("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=x-sjis\">"),
        QByteArray("x-sjis"));
    EXPECT_EQ(declaredCharset("<meta charset='euc-jp'>"), QByteArray("euc-jp"));
    EXPECT_EQ(
        declaredCharset("<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><html>"), QByteArray("ISO-2022-JP"));
    EXPECT_EQ(declaredCharset("<html><body><p>charset=utf-8</p>"), QByteArray());

    // Decoding by the declaration, with the fall-backs.
    const QString japanese = QStringLiteral("歪修正①～");
    const QByteArray sjis = toCp932(japanese);
    EXPECT_EQ(
        decodeHtml("<meta charset=Shift_JIS>" + sjis), QStringLiteral("<meta charset=Shift_JIS>") + japanese);
    EXPECT_EQ(decodeHtml("<meta charset=windows-31j>" + sjis),
        QStringLiteral("<meta charset=windows-31j>") + japanese);
    EXPECT_EQ(decodeHtml("<p>" + sjis), QStringLiteral("<p>") + japanese); // not UTF-8: the help's code page
    EXPECT_EQ(decodeHtml("\xEF\xBB\xBF<p>" + japanese.toUtf8()), QStringLiteral("<p>") + japanese);
    EXPECT_EQ(decodeHtml("<meta charset=x-unknown><p>" + japanese.toUtf8()),
        QStringLiteral("<meta charset=x-unknown><p>") + japanese);
    EXPECT_EQ(decodeHtml("<meta charset=iso-8859-1>\xE9"), QStringLiteral("<meta charset=iso-8859-1>\u00E9"));
    EXPECT_EQ(decodeHelpText(sjis), japanese);
    EXPECT_EQ(decodeHelpText(japanese.toUtf8()), japanese);

    // Contents and index files: nesting, entities, odd markup.
    const std::vector<HelpEntry> tree = parseSitemap(QStringLiteral(
        "</ul><object type=\"text/sitemap\"><param name=\"Name\" value=\"Loose\"></object>"
        "<ul><li><object type=\"text/site properties\"><param name=\"ImageType\" value=\"Folder\"></object>"
        "<li><OBJECT type=\"text/sitemap\"><PARAM NAME=name VALUE='A &amp; B'><param name=\"Local\" "
        "value=\"a.htm\">"
        "<param name=\"Name\" value=\"second name\"><param name=\"Local\" value=\"other.htm\"></OBJECT>"
        "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"&#x6B6A;&#27491;&lt;&unknown;\">"
        "<param name=\"Local\" value=\"sub\\b.htm#part\"></object>"
        "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"Deep\"></object>"
        "</ul></ul>"
        "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"C\"><param name=\"Local\" "
        "value=\"c.htm\"></object>"
        "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"unclosed\"></object>"));
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[0].name, QStringLiteral("Loose"));
    EXPECT_EQ(tree[1].name, QStringLiteral("A & B"));
    EXPECT_EQ(tree[1].local, QStringLiteral("a.htm"));
    ASSERT_EQ(tree[1].children.size(), 1u);
    EXPECT_EQ(tree[1].children[0].name, QStringLiteral("歪正<&unknown;"));
    EXPECT_EQ(tree[1].children[0].local, QStringLiteral("sub\\b.htm#part"));
    ASSERT_EQ(tree[1].children[0].children.size(), 1u);
    EXPECT_EQ(tree[1].children[0].children[0].name, QStringLiteral("Deep"));
    EXPECT_EQ(tree[2].name, QStringLiteral("C"));
    ASSERT_EQ(tree[2].children.size(), 1u);
    EXPECT_EQ(tree[2].children[0].name, QStringLiteral("unclosed"));
    EXPECT_TRUE(
        parseSitemap(QStringLiteral("<ul><li><object type=\"text/sitemap\"><param name=\"Name\"")).empty());

    EXPECT_EQ(chmObjectPath(QStringLiteral("sub\\b.htm")), QStringLiteral("/sub/b.htm"));
    EXPECT_EQ(chmObjectPath(QStringLiteral("/a.htm")), QStringLiteral("/a.htm"));

    // Files that are no help files; objects that are not there.
    EXPECT_EQ(ChmFile::open(folder.path() + QStringLiteral("/none.chm")), nullptr);
    QFile junk(folder.path() + QStringLiteral("/junk.chm"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray("ITSF") + QByteArray(200, '\xFF'));
    junk.close();
    EXPECT_EQ(ChmFile::open(junk.fileName()), nullptr);
    const QString path = compileHelp(folder.path() + QStringLiteral("/real"), "x");
    ASSERT_FALSE(path.isEmpty());
    const std::unique_ptr<ChmFile> file = ChmFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->title(), QStringLiteral("テストのヘルプ"));
    EXPECT_EQ(file->defaultTopic(), QStringLiteral("Introduction.htm"));
    EXPECT_EQ(file->contentsFile(), QStringLiteral("test.hhc"));
    EXPECT_EQ(file->indexFile(), QStringLiteral("test.hhk"));
    EXPECT_FALSE(file->read(QStringLiteral("/missing.htm")).has_value());
    EXPECT_FALSE(file->read(QStringLiteral("/") + QString(600, QLatin1Char('a'))).has_value());
    EXPECT_EQ(file->read(QStringLiteral("/images/dot.png")), pngOfRedSquare());
    EXPECT_TRUE(file->contains(QStringLiteral("/sub/Deep.htm")));
}

TEST_F(HelpVersionTest, VersionWindowShowsTheVersionAndItsLinks)
{
    start();
    main->show();
    auto* version = static_cast<TfrmVersion*>(windows->frmVersion);
    EXPECT_EQ(version->objectName(), QStringLiteral("frmVersion"));
    EXPECT_EQ(version->windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(version->size(), QSize(276, 178));
    EXPECT_EQ(version->minimumSize(), version->maximumSize());
    EXPECT_TRUE(version->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(version->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(version->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(version->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(main->action(QStringLiteral("Version"))->text(), QStringLiteral("バージョン情報(&V)"));

    bool ran = false;
    QTimer::singleShot(0, version, [&] {
        ran = true;
        EXPECT_TRUE(version->isVisible());
        EXPECT_TRUE(version->isModal());
        EXPECT_EQ(version->lblVersion()->text(), QStringLiteral("Curvegleaner32 Ver. 1.27"));
        EXPECT_EQ(version->pos(), QPoint((1920 - 276) / 2, (1080 - 178) / 2));
        auto* icon = version->findChild<QLabel*>(QStringLiteral("imIcon"));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
        EXPECT_LT(icon->x(), version->lblVersion()->x());

        QLabel* web = version->lblAddress(0);
        QLabel* mail = version->lblAddress(1);
        ASSERT_TRUE(web && mail);
        EXPECT_EQ(web->text(), QStringLiteral("https://www.example.com/"));
        EXPECT_EQ(mail->text(), QStringLiteral("mailto:cvg@example.com"));
        EXPECT_EQ(web->toolTip(), QStringLiteral("最新版をチェック"));
        EXPECT_EQ(mail->toolTip(), QStringLiteral("作者に電子メールを送信"));
        for (QLabel* label : { version->lblVersion(), web, mail }) {
            EXPECT_EQ(label->font().families().value(0), QStringLiteral("Times New Roman"));
            EXPECT_TRUE(label->font().bold());
            // Character height 16, less only where a wider stand-in face would cut the text off.
            const QFontMetrics metrics(label->font());
            EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width());
            if (label->font().pixelSize() < 16) {
                QFont full = label->font();
                full.setPixelSize(label->font().pixelSize() + 1);
                EXPECT_GT(QFontMetrics(full).horizontalAdvance(label->text()), label->width());
            } else {
                EXPECT_EQ(label->font().pixelSize(), 16);
            }
        }
        for (QLabel* label : { web, mail }) {
            EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
            EXPECT_EQ(textColour(label), QColor(Qt::black));
        }

        // Hover: the label under the mouse turns blue; the free area makes both black.
        QMouseEvent overWeb(QEvent::MouseMove, QPointF(5, 5), web->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(web, &overWeb);
        EXPECT_EQ(textColour(web), QColor(Qt::blue));
        EXPECT_EQ(textColour(mail), QColor(Qt::black));
        QMouseEvent overMail(QEvent::MouseMove, QPointF(5, 5), mail->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(mail, &overMail);
        EXPECT_EQ(textColour(mail), QColor(Qt::blue));
        QMouseEvent overFree(QEvent::MouseMove, QPointF(200, 10), version->mapToGlobal(QPointF(200, 10)),
            Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(version, &overFree);
        EXPECT_EQ(textColour(web), QColor(Qt::black));
        EXPECT_EQ(textColour(mail), QColor(Qt::black));

        // A click hands the label's target to the desktop; a right click or a
        // release beside the label does nothing.
        clickAt(mail, QPoint(5, 5));
        clickAt(web, QPoint(5, 5), Qt::RightButton);
        QTest::mousePress(web, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(web, Qt::LeftButton, {}, QPoint(5, web->height() + 20));
        clickAt(web, QPoint(5, 5));
        EXPECT_EQ(launcher.urls,
            (QStringList {
                QStringLiteral("mailto:cvg@example.com"), QStringLiteral("https://www.example.com/") }));
        EXPECT_TRUE(version->isVisible());
        version->buClose()->click();
    });
    trigger("Version");
    EXPECT_TRUE(ran);
    EXPECT_FALSE(version->isVisible());
    // The version window keeps no settings value.
    EXPECT_FALSE(store.values().contains(QStringLiteral("Version")));
}

TEST_F(HelpVersionTest, ShellCommandsGoToTheDesktop)
{
    const QByteArray desktopBefore = qgetenv("XDG_CURRENT_DESKTOP");
    start();
    trigger("acNewVersion");
    trigger("BugReport");
    ASSERT_EQ(launcher.urls.size(), 2);
    EXPECT_EQ(launcher.urls[0], QStringLiteral("https://www.example.com/"));
    const QUrl report(launcher.urls[1]);
    EXPECT_EQ(report.path(), QStringLiteral("/Curvegleaner/cvgbug.html"));
    EXPECT_EQ(report.host(), QUrl(launcher.urls[0]).host());
    EXPECT_TRUE(report.host().endsWith(QLatin1String("example.com")));

    // The running desktop's own settings program comes first.
    launcher.installed = { QStringLiteral("gnome-control-center"), QStringLiteral("xfce4-mouse-settings"),
        QStringLiteral("kinfocenter") };
    qputenv("XDG_CURRENT_DESKTOP", "XFCE");
    trigger("acMouse");
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    trigger("acMouse");
    trigger("acSystem");
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    trigger("acSystem");
    // Without a desktop of its own, the first program found.
    qputenv("XDG_CURRENT_DESKTOP", "");
    trigger("acMouse");
    EXPECT_EQ(launcher.started,
        (QStringList { QStringLiteral("/usr/bin/xfce4-mouse-settings "),
            QStringLiteral("/usr/bin/gnome-control-center mouse"),
            QStringLiteral("/usr/bin/gnome-control-center info-overview"),
            QStringLiteral("/usr/bin/kinfocenter "),
            QStringLiteral("/usr/bin/gnome-control-center mouse") }));

    // Nothing found: nothing happens, and no message.
    launcher.installed.clear();
    launcher.started.clear();
    trigger("acMouse");
    trigger("acSystem");
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_FALSE(openMouseSettings(launcher, QStringLiteral("GNOME")));
    qputenv("XDG_CURRENT_DESKTOP", desktopBefore);
}
