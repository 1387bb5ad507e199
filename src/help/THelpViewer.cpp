#include "help/THelpViewer.h"

#include "help/ShellLaunch.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>

namespace cvg {

namespace {

const QString kScheme = QStringLiteral("chm");
constexpr int kLocalRole = Qt::UserRole;

QString notFoundPage(const QString& path)
{
    return QStringLiteral(
        "<html><body><h2>ページが見つかりません</h2><p>「%1」はこのヘルプファイルにありません。</p>"
        "</body></html>")
        .arg(path.mid(1).toHtmlEscaped());
}

// A link into a help file written the long way ("ms-its:file.chm::/page.htm")
// leads to a page of the open file.
std::optional<QString> storeLinkTopic(const QUrl& url)
{
    const QString text = url.toString();
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("ms-its") && scheme != QLatin1String("its")
        && !text.startsWith(QLatin1String("mk:@MSITStore:"), Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype at = text.indexOf(QLatin1String("::"));
    if (at < 0)
        return std::nullopt;
    return text.mid(at + 2);
}

void flatten(const std::vector<HelpEntry>& entries, std::vector<const HelpEntry*>& out)
{
    for (const HelpEntry& entry : entries) {
        out.push_back(&entry);
        flatten(entry.children, out);
    }
}

} // namespace

// ---- the page browser --------------------------------------------------------------

THelpBrowser::THelpBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpBrowser"));
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &THelpBrowser::followLink);
}

QUrl THelpBrowser::topicUrl(const QString& topic)
{
    QString path = topic;
    QString fragment;
    const qsizetype hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        fragment = path.mid(hash + 1);
        path.truncate(hash);
    }
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(chmObjectPath(path), QUrl::DecodedMode);
    if (!fragment.isEmpty())
        url.setFragment(fragment, QUrl::DecodedMode);
    return url;
}

QVariant THelpBrowser::loadResource(int type, const QUrl& name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const QString path = url.path(QUrl::FullyDecoded);
    // Nothing is fetched from outside the help file.
    std::optional<QByteArray> bytes;
    if (file_ && url.scheme() == kScheme)
        bytes = file_->read(path);
    switch (type) {
    case QTextDocument::HtmlResource:
        return bytes ? decodeHtml(*bytes) : notFoundPage(path);
    case QTextDocument::StyleSheetResource:
        return bytes ? QVariant(decodeHelpText(*bytes)) : QVariant();
    default:
        return bytes ? QVariant(*bytes) : QVariant();
    }
}

void THelpBrowser::followLink(const QUrl& link)
{
    if (std::optional<QString> topic = storeLinkTopic(link)) {
        setSource(topicUrl(*topic));
        return;
    }
    const QUrl url = link.isRelative() ? source().resolved(link) : link;
    const QString scheme = url.scheme().toLower();
    if (scheme == kScheme)
        setSource(url);
    else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")
        || scheme == QLatin1String("mailto"))
        shellLauncher().openUrl(url);
    // Other schemes (files, scripts) are not followed from a help page.
}

// ---- the window --------------------------------------------------------------------

THelpViewer::THelpViewer(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("ヘルプ"));
    resize(880, 640);

    auto* toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    back_ = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("戻る"));
    back_->setObjectName(QStringLiteral("acHelpBack"));
    forward_ = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("進む"));
    forward_->setObjectName(QStringLiteral("acHelpForward"));
    QAction* home
        = toolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("ホーム"));
    home->setObjectName(QStringLiteral("acHelpHome"));
    back_->setEnabled(false);
    forward_->setEnabled(false);

    browser_ = new THelpBrowser(this);
    contents_ = new QTreeWidget(this);
    contents_->setObjectName(QStringLiteral("tvContents"));
    contents_->setHeaderHidden(true);
    auto* indexPage = new QWidget(this);
    edtKeyword_ = new QLineEdit(indexPage);
    edtKeyword_->setObjectName(QStringLiteral("edtKeyword"));
    edtKeyword_->setPlaceholderText(QStringLiteral("キーワードを入力"));
    keywords_ = new QListWidget(indexPage);
    keywords_->setObjectName(QStringLiteral("lbKeywords"));
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(2, 2, 2, 2);
    indexLayout->addWidget(edtKeyword_);
    indexLayout->addWidget(keywords_);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(contents_, QStringLiteral("目次"));
    tabs->addTab(indexPage, QStringLiteral("索引"));

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tabs);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 230, 650 });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter);

    connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
    connect(home, &QAction::triggered, this, [this] {
        if (file_)
            showTopic(
                file_->defaultTopic().isEmpty() ? QStringLiteral("Introduction.htm") : file_->defaultTopic());
    });
    connect(browser_, &QTextBrowser::sourceChanged, this, &THelpViewer::pageShown);
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString local = item->data(0, kLocalRole).toString();
        if (!local.isEmpty())
            showTopic(local);
    });
    connect(edtKeyword_, &QLineEdit::textChanged, this, &THelpViewer::filterKeywords);
    connect(edtKeyword_, &QLineEdit::returnPressed, this, [this] {
        for (int i = 0; i < keywords_->count(); ++i) {
            if (!keywords_->item(i)->isHidden()) {
                showTopic(keywords_->item(i)->data(kLocalRole).toString());
                return;
            }
        }
    });
    connect(keywords_, &QListWidget::itemActivated, this,
        [this](QListWidgetItem* item) { showTopic(item->data(kLocalRole).toString()); });
    connect(keywords_, &QListWidget::itemClicked, this,
        [this](QListWidgetItem* item) { showTopic(item->data(kLocalRole).toString()); });
}

THelpViewer::~THelpViewer()
{
    // The browser may still ask for resources while it is torn down.
    browser_->setHelpFile(nullptr);
}

bool THelpViewer::openFile(const QString& path)
{
    const QFileInfo info(path);
    if (file_ && file_->path() == path && info.lastModified() == fileTime_ && info.size() == fileSize_)
        return true;
    std::unique_ptr<ChmFile> opened = ChmFile::open(path);
    browser_->setHelpFile(opened.get());
    browser_->clearHistory();
    browser_->clear();
    file_ = std::move(opened);
    fileTime_ = info.lastModified();
    fileSize_ = info.size();
    loadContents();
    loadIndex();
    if (!file_)
        return false;
    setWindowTitle(file_->title().isEmpty() ? QStringLiteral("ヘルプ") : file_->title());
    return true;
}

void THelpViewer::showTopic(const QString& topic)
{
    const QUrl url = THelpBrowser::topicUrl(topic);
    // The page is read again even when it is the one shown: the file may
    // have been opened anew.
    if (browser_->source().adjusted(QUrl::RemoveFragment) == url.adjusted(QUrl::RemoveFragment)
        && browser_->source().fragment() == url.fragment())
        browser_->reload();
    else
        browser_->setSource(url);
}

QString THelpViewer::currentTopic() const
{
    return browser_->source().path(QUrl::FullyDecoded);
}

void THelpViewer::addEntries(QTreeWidgetItem* parent, const std::vector<HelpEntry>& entries)
{
    for (const HelpEntry& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(contents_);
        item->setText(0, entry.name);
        item->setData(0, kLocalRole, entry.local);
        addEntries(item, entry.children);
    }
}

void THelpViewer::loadContents()
{
    contents_->clear();
    if (!file_ || file_->contentsFile().isEmpty())
        return;
    const std::optional<QByteArray> bytes = file_->read(chmObjectPath(file_->contentsFile()));
    if (!bytes)
        return;
    addEntries(nullptr, parseSitemap(decodeHtml(*bytes)));
    contents_->expandAll();
}

void THelpViewer::loadIndex()
{
    keywords_->clear();
    edtKeyword_->clear();
    if (!file_ || file_->indexFile().isEmpty())
        return;
    const std::optional<QByteArray> bytes = file_->read(chmObjectPath(file_->indexFile()));
    if (!bytes)
        return;
    const std::vector<HelpEntry> entries = parseSitemap(decodeHtml(*bytes));
    std::vector<const HelpEntry*> flat;
    flatten(entries, flat);
    std::stable_sort(flat.begin(), flat.end(), [](const HelpEntry* a, const HelpEntry* b) {
        return a->name.compare(b->name, Qt::CaseInsensitive) < 0;
    });
    for (const HelpEntry* entry : flat) {
        if (entry->local.isEmpty())
            continue;
        auto* item = new QListWidgetItem(entry->name, keywords_);
        item->setData(kLocalRole, entry->local);
    }
}

void THelpViewer::filterKeywords(const QString& text)
{
    bool selected = false;
    for (int i = 0; i < keywords_->count(); ++i) {
        QListWidgetItem* item = keywords_->item(i);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !selected) {
            keywords_->setCurrentItem(item);
            selected = true;
        }
    }
}

void THelpViewer::pageShown(const QUrl& url)
{
    const QString page = url.path(QUrl::FullyDecoded);
    const QSignalBlocker block(contents_);
    for (QTreeWidgetItemIterator it(contents_); *it; ++it) {
        const QString local = (*it)->data(0, kLocalRole).toString();
        if (!local.isEmpty()
            && chmObjectPath(local.section(QLatin1Char('#'), 0, 0)).compare(page, Qt::CaseInsensitive) == 0) {
            contents_->setCurrentItem(*it);
            return;
        }
    }
    contents_->clearSelection();
}

} // namespace cvg
