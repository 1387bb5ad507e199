#pragma once

#include <QString>
#include <QStringList>

// Texts of the freedesktop files the installer writes: desktop entries, the
// MIME package, the submenu, and the edit of the user's default applications.
namespace cvg::setup {

inline const QString kMimeType = QStringLiteral("application/x-curvegleaner32");
inline const QString kHandlerId = QStringLiteral("Curvegleaner32.desktop");
inline const QString kUninstallId = QStringLiteral("Curvegleaner32-uninstall.desktop");
inline const QString kGroupCategory = QStringLiteral("X-Curvegleaner32");
// Opens a document with the application the desktop associates with it.
inline const QString kOpener = QStringLiteral("xdg-open");

struct DesktopEntry {
    QString name;
    QString comment;
    QString icon; // a theme icon's name; empty: none
    QStringList command; // program and arguments, each quoted in full
    QString fieldCode; // appended unquoted, e.g. "%f"
    QString workingFolder; // empty: none
    QString mimeType; // empty: none
    QString categories; // empty: none
    bool noDisplay = false;
};

// One argument of an Exec line: always in double quotes, with the characters
// that are special inside them escaped, and "%" doubled, so that no name can
// break out of its argument.
QString quoteExecArgument(const QString& argument);
// A string value escaped for a desktop entry line.
QString escapeDesktopValue(const QString& value);
QString desktopEntryText(const DesktopEntry& entry);

QString mimePackageText(const QString& comment);
QString groupMenuText();
QString groupDirectoryText();

// The user's mimeapps.list with `desktopId` first among the defaults for
// `mimeType`; every other line is kept as it was.
QString withDefaultApplication(
    const QString& mimeAppsText, const QString& mimeType, const QString& desktopId);
// The same list with `desktopId` taken out of the defaults for `mimeType` (the
// line goes when nothing else is left in it).
QString withoutDefaultApplication(
    const QString& mimeAppsText, const QString& mimeType, const QString& desktopId);

// True for a name that contains a control character (line breaks, tabs...).
bool hasControlCharacters(const QString& text);

} // namespace cvg::setup
