#pragma once

#include <QDialog>
#include <vector>

namespace cvg {

struct AppContext;

// A tool window or dialog that keeps its place (and a few integers) in one
// fixed-size settings value: read once at creation by the exact-size rule,
// written at every close. A window with a record of another layout passes
// no defaults and reads and writes it itself.
class TToolWindow : public QDialog {
    Q_OBJECT
public:
    TToolWindow(QWidget* parent, AppContext& context, const QString& valueName,
                std::vector<int32_t> defaults, Qt::WindowFlags flags);

    const QString& valueName() const { return valueName_; }
    // The stored integers after left and top (index 0 is the first extra).
    int32_t storedExtra(int index) const { return fields_.at(size_t(index) + 2); }
    void setStoredExtra(int index, int32_t value) { fields_.at(size_t(index) + 2) = value; }
    // Writes left, top and the extras now.
    void writeSettings();
    // Makes the window stay above the others again (after help was opened).
    void stayOnTop();

Q_SIGNALS:
    void closed();

protected:
    void done(int result) override;
    // The first show without a stored place puts the window beside the
    // others along the main window's right edge.
    void showEvent(QShowEvent* event) override;
    // Runs before the window closes; return false to keep it open.
    virtual bool closeQuery() { return true; }
    // Runs when the window has closed, before its value is written.
    virtual void onClosed() {}

    AppContext& context_;
    // Whether the settings held a place for the window when it was created.
    bool storedPlace_ = false;

private:
    QPoint firstPlace() const;

    QString valueName_;
    std::vector<int32_t> fields_;
    bool placedOnce_ = false;
};

// Whether the store holds a value of that name and size (a place the user left
// a window at).
bool hasStoredValue(const AppContext& context, const QString& name, int size);

// Modeless tool windows stay above the main window; dialogs have a fixed frame.
constexpr Qt::WindowFlags kToolWindowFlags = Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint;
constexpr Qt::WindowFlags kDialogWindowFlags =
    Qt::Dialog | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

} // namespace cvg
