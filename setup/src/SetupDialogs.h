#pragma once

#include <QString>
#include <optional>

namespace cvg::setup {

enum class BoxIcon { None, Information, Warning };
// Every box has one "OK" button. Closed: the box was dismissed without it.
enum class BoxResult { Closed, OK };

struct Box {
    QString text;
    BoxIcon icon = BoxIcon::None;
    QString title;
};

// The boxes and the folder chooser of the installer, behind an interface so
// that tests answer them from a script.
class SetupDialogs {
public:
    virtual ~SetupDialogs() = default;
    virtual BoxResult message(const Box& box) = 0;
    // A folder chooser that starts at the desktop; nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const QString& caption, const QString& rootName) = 0;
};

} // namespace cvg::setup
