// The suite's UI framework as the send service uses it: the settings
// provider hand-over and the progress window. Built as a shared library so
// the settings provider can find the framework's folder from where it is
// loaded.
#pragma once
#include "Fundamentals/SettingsProvider.h"
#include <functional>
#include <memory>
#include <string>

// Keeps the address of the process's settings provider, which the caller
// keeps alive until the framework is no longer used. Unmangled, because the
// settings provider looks the framework up by this name.
extern "C" void InitSettingsProvider_QelUIFramework(Brodix::SettingsProvider::ISettingsProvider* provider);

namespace QelUIFramework {

// The provider handed over last, or null.
Brodix::SettingsProvider::ISettingsProvider* SettingsProvider();

class ProgressDisplay;

// A progress window: an info text and a bar of a fixed number of steps. On a
// terminal (standard error) it is a line redrawn in place; otherwise one
// desktop notification updated in place when a notification server is on
// the session bus; otherwise nothing is shown.
class QelProgressWindow {
public:
    using Block = std::function<void(QelProgressWindow&)>;

    // Shows the window and runs the block on the calling thread, passing the
    // window; returns when the block has returned.
    static void startProcessingBlock(Block const& block, unsigned long numberOfSteps);

    void setInfoText(std::string const& text);
    // Advances the bar by one step (never past the last).
    void stepIt();
    // What the window says when the block has returned, in place of the bar:
    // the last terminal line, the final text of the notification.
    void setFinalText(std::string const& text) { m_finalText = text; }

    std::string const& infoText() const { return m_infoText; }
    unsigned long stepsDone() const { return m_stepsDone; }
    unsigned long numberOfSteps() const { return m_numberOfSteps; }

    ~QelProgressWindow();
    QelProgressWindow(QelProgressWindow const&) = delete;
    QelProgressWindow& operator=(QelProgressWindow const&) = delete;

private:
    QelProgressWindow(unsigned long numberOfSteps, std::unique_ptr<ProgressDisplay> display);
    void Show(bool finished);

    std::string m_infoText;
    std::string m_finalText;
    unsigned long m_stepsDone = 0;
    unsigned long m_numberOfSteps = 0;
    std::unique_ptr<ProgressDisplay> m_display;
};

// The terminal line for a state: a bar of width cells, the count and the text,
// such as "[#####-----] 1/2 Sending rose.pes".
std::string ProgressLine(std::string const& text, unsigned long done, unsigned long total, unsigned width);

// The line cut to at most columns characters (UTF-8 sequences kept whole), so
// that a long file name never wraps the redrawn line onto a second one.
std::string CutToColumns(std::string const& line, unsigned columns);

} // namespace QelUIFramework
