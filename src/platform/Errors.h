#pragma once

#include <QString>
#include <stdexcept>

namespace cvg {

// An error that a command does not handle itself (a file that cannot be
// opened or created, a cell that is not an integer). It carries the text the
// user sees; the command boundary catches it and shows the error box.
class CvgError : public std::runtime_error {
public:
    explicit CvgError(const QString& userText)
        : std::runtime_error(userText.toStdString()), text_(userText)
    {
    }
    const QString& userText() const noexcept { return text_; }

private:
    QString text_;
};

} // namespace cvg
