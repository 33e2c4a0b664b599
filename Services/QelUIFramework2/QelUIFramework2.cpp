#include "QelUIFramework2/QelUIFramework2.h"
#include "Platform/DesktopNotification.h"
#include "Platform/Terminal.h"
#include <algorithm>

namespace QelUIFramework {
namespace {

Brodix::SettingsProvider::ISettingsProvider* g_settingsProvider = nullptr;

constexpr unsigned kBarWidth = 20;
constexpr char kApplicationName[] = "Send to Machine";
constexpr char kSummary[] = "Sending to the embroidery machine";
// The finished notification stays this long; the ones before it until replaced.
constexpr int kFinishedExpiryMilliseconds = 5000;
constexpr int kNoExpiry = 0;

} // namespace

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void Show(std::string const& text, unsigned long done, unsigned long total, bool finished) = 0;
    // The final text, once, after the last Show.
    virtual void Finish(std::string const& text) { Brodix::Platform::WriteStandardErrorLine(text); }
};

namespace {

class TerminalDisplay : public ProgressDisplay {
public:
    void Show(std::string const& text, unsigned long done, unsigned long total, bool finished) override
    {
        std::string const line = ProgressLine(text, done, total, kBarWidth);
        Brodix::Platform::RedrawStandardErrorLine(CutToColumns(line, Brodix::Platform::StandardErrorColumns()));
        if (finished)
            Brodix::Platform::FinishStandardErrorLine();
    }
    // The progress line gives way to the summary, which is never cut.
    void Finish(std::string const& text) override
    {
        Brodix::Platform::RedrawStandardErrorLine(text);
        Brodix::Platform::FinishStandardErrorLine();
    }
};

class NotificationDisplay : public ProgressDisplay {
public:
    explicit NotificationDisplay(std::unique_ptr<Brodix::Platform::DesktopNotification> notification)
        : m_notification(std::move(notification))
    {
    }
    void Show(std::string const& text, unsigned long done, unsigned long total, bool finished) override
    {
        if (!m_notification)
            return;
        int const percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        std::string const count = "(" + std::to_string(done) + "/" + std::to_string(total) + ")";
        std::string const body = text.empty() ? count : text + " " + count;
        // A server that stops answering is not asked again.
        if (!m_notification->Show(kSummary, body, percent, finished ? kFinishedExpiryMilliseconds : kNoExpiry))
            m_notification.reset();
    }

    void Finish(std::string const& text) override
    {
        ProgressDisplay::Finish(text);
        if (m_notification)
            m_notification->Show(kSummary, text, 100, kFinishedExpiryMilliseconds);
    }

private:
    std::unique_ptr<Brodix::Platform::DesktopNotification> m_notification;
};

// No terminal and no notification server: the final text still goes to
// standard error, where the desktop's journal keeps it.
class LogDisplay : public ProgressDisplay {
public:
    void Show(std::string const&, unsigned long, unsigned long, bool) override {}
};

std::unique_ptr<ProgressDisplay> ChooseDisplay()
{
    if (Brodix::Platform::StandardErrorIsTerminal())
        return std::make_unique<TerminalDisplay>();
    if (auto notification = Brodix::Platform::DesktopNotification::Connect(kApplicationName))
        return std::make_unique<NotificationDisplay>(std::move(notification));
    return std::make_unique<LogDisplay>();
}

} // namespace

Brodix::SettingsProvider::ISettingsProvider* SettingsProvider() { return g_settingsProvider; }

std::string ProgressLine(std::string const& text, unsigned long done, unsigned long total, unsigned width)
{
    unsigned long const filled = total == 0 ? width : std::min<unsigned long>(width, done * width / total);
    std::string line = "[";
    line.append(filled, '#');
    line.append(width - filled, '-');
    line += "] " + std::to_string(done) + "/" + std::to_string(total);
    if (!text.empty())
        line += " " + text;
    return line;
}

std::string CutToColumns(std::string const& line, unsigned columns)
{
    std::string cut;
    unsigned used = 0;
    for (std::size_t i = 0; i < line.size();) {
        auto const lead = static_cast<unsigned char>(line[i]);
        std::size_t const length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (used == columns)
            break;
        cut += line.substr(i, length);
        ++used;
        i += length;
    }
    return cut;
}

QelProgressWindow::QelProgressWindow(unsigned long numberOfSteps, std::unique_ptr<ProgressDisplay> display)
    : m_numberOfSteps(numberOfSteps), m_display(std::move(display))
{
}

QelProgressWindow::~QelProgressWindow() = default;

void QelProgressWindow::startProcessingBlock(Block const& block, unsigned long numberOfSteps)
{
    QelProgressWindow window(numberOfSteps, ChooseDisplay());
    window.Show(false);
    if (block)
        block(window);
    if (window.m_finalText.empty())
        window.Show(true);
    else if (window.m_display)
        window.m_display->Finish(window.m_finalText);
}

void QelProgressWindow::setInfoText(std::string const& text)
{
    m_infoText = text;
    Show(false);
}

void QelProgressWindow::stepIt()
{
    if (m_stepsDone < m_numberOfSteps)
        ++m_stepsDone;
    Show(false);
}

void QelProgressWindow::Show(bool finished)
{
    if (m_display)
        m_display->Show(m_infoText, m_stepsDone, m_numberOfSteps, finished);
}

} // namespace QelUIFramework

extern "C" void InitSettingsProvider_QelUIFramework(Brodix::SettingsProvider::ISettingsProvider* provider)
{
    QelUIFramework::g_settingsProvider = provider;
}
