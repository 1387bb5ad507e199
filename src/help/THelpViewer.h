#pragma once

#include "help/ChmFile.h"

#include <QDateTime>
#include <QTextBrowser>
#include <QWidget>
#include <memory>

class QAction;
class QLineEdit;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace cvg {

// Shows the pages of a compiled help file: pages, pictures and style sheets
// come out of the file; links between pages stay inside it, links to the
// web or to a mail address go to the desktop.
class THelpBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit THelpBrowser(QWidget* parent = nullptr);

    void setHelpFile(const ChmFile* file) { file_ = file; }
    // The address of a page of the help file.
    static QUrl topicUrl(const QString& topic);

    QVariant loadResource(int type, const QUrl& name) override;

private:
    void followLink(const QUrl& link);

    const ChmFile* file_ = nullptr;
};

// The help window: contents, index and the page, with Back, Forward and
// Home. The main window owns it; it opens the help file and a topic.
class THelpViewer final : public QWidget {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget* parent);
    ~THelpViewer() override;

    // Opens the help file (again when it changed on disk); false when it is
    // no help file that can be read.
    bool openFile(const QString& path);
    // Shows a page of the open file; a page the file does not hold shows a
    // note saying so.
    void showTopic(const QString& topic);
    // The page shown, as its path inside the file ("/Introduction.htm").
    QString currentTopic() const;

    THelpBrowser* browser() const { return browser_; }
    QTreeWidget* contents() const { return contents_; }
    QListWidget* keywords() const { return keywords_; }
    const ChmFile* file() const { return file_.get(); }

private:
    void loadContents();
    void loadIndex();
    void addEntries(QTreeWidgetItem* parent, const std::vector<HelpEntry>& entries);
    void filterKeywords(const QString& text);
    void pageShown(const QUrl& url);

    std::unique_ptr<ChmFile> file_;
    QDateTime fileTime_;
    qint64 fileSize_ = -1;
    THelpBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QLineEdit* edtKeyword_ = nullptr;
    QListWidget* keywords_ = nullptr;
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
};

} // namespace cvg
