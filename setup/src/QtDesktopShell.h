#pragma once

#include "DesktopShell.h"

namespace cvg::setup {

// Opens documents through the desktop's own handler.
class QtDesktopShell final : public SystemShell {
public:
    bool openDocument(const QString& path) override;
};

} // namespace cvg::setup
