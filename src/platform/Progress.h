#pragma once

namespace cvg {

// Feedback for long loops. The main window drives its progress bar through
// this; the core, the command-line tool and the tests pass a silent one.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void begin(int minimum, int maximum) = 0;
    virtual void setPosition(int position) = 0;
    virtual void end() = 0;
};

class NullProgress final : public Progress {
public:
    void begin(int, int) override {}
    void setPosition(int) override {}
    void end() override {}
};

// Shows the bar while alive, hides it on every way out of a loop.
class ProgressScope {
public:
    ProgressScope(Progress& progress, int minimum, int maximum) : progress_(progress)
    {
        progress_.begin(minimum, maximum);
    }
    ~ProgressScope() { progress_.end(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    void setPosition(int position) { progress_.setPosition(position); }

private:
    Progress& progress_;
};

} // namespace cvg
