#include "cli/console_progress.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
std::atomic<bool> g_interrupted{false};
void onInterrupt(int)
{
    g_interrupted.store(true);
}
} // namespace

TConsoleProgress::TConsoleProgress() : m_tty(isatty(fileno(stderr)) != 0)
{
    g_interrupted.store(false);
    std::signal(SIGINT, onInterrupt);
}

TConsoleProgress::~TConsoleProgress()
{
    if (m_drawn)
        std::fputs("\r\033[K", stderr);
    std::signal(SIGINT, SIG_DFL);
}

void TConsoleProgress::draw()
{
    if (!m_tty)
        return;
    const int width = 30;
    const int filled = m_percent < 0 ? 0 : m_percent * width / 100;
    QByteArray bar(filled, '#');
    bar.append(QByteArray(width - filled, '.'));
    std::fprintf(stderr, "\r\033[K[%s] %3d%% %s", bar.constData(), m_percent < 0 ? 0 : m_percent,
                 m_status.left(60).toLocal8Bit().constData());
    std::fflush(stderr);
    m_drawn = true;
}

void TConsoleProgress::Progress(int percent)
{
    if (percent == m_percent)
        return;
    m_percent = percent;
    draw();
}

void TConsoleProgress::Status(const QString& text)
{
    m_status = text;
    draw();
}

void TConsoleProgress::Message(const QString& text)
{
    if (m_drawn)
        std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    m_drawn = false;
}

bool TConsoleProgress::StopRequested() const
{
    return g_interrupted.load();
}
