#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace cvg::setup {

inline const QString kClassesRoot = QStringLiteral("classes root");
inline const QString kLocalMachine = QStringLiteral("local machine");
inline const QString kUninstallKey
    = QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Curvegleaner32\\");

// The per-user record of the keys and string values the installer registers
// (the ".cvd" class and the uninstall entry), kept as a small text file:
//
//   [classes root\.cvd]
//   @="Curvegleaner32"
//   [local machine\SOFTWARE\...\Curvegleaner32]
//   "DisplayName"="..."
//
// Key names compare without regard to case; "@" is a key's default value.
class RegistrationRecord {
public:
    // A missing or unreadable file is an empty record; lines that are not
    // understood are dropped.
    static RegistrationRecord load(const QString& path);
    static RegistrationRecord parse(const QString& text);

    // `key` is written as in "\Curvegleaner32\shell"; leading and trailing
    // delimiters do not matter. An empty `name` is the default value.
    void setValue(const QString& root, const QString& key, const QString& name, const QString& data);
    std::optional<QString> value(const QString& root, const QString& key, const QString& name) const;
    bool hasKey(const QString& root, const QString& key) const;
    // Deletes the key and every key below it.
    void deleteKey(const QString& root, const QString& key);
    bool isEmpty() const { return keys_.empty(); }

    QString text() const;
    // Writes the record in one piece; an empty record removes the file.
    bool save(const QString& path) const;

private:
    struct Value {
        QString name;
        QString data;
    };
    struct Key {
        QString path; // root, "\", key without outer delimiters
        std::vector<Value> values;
    };
    Key* find(const QString& path);
    const Key* find(const QString& path) const;
    std::vector<Key> keys_;
};

} // namespace cvg::setup
