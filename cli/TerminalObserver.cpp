#include "TerminalObserver.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "TerminalText.h"

namespace {

size_t TerminalWidth() {
    winsize ws{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20)
        return ws.ws_col;
    return 80;
}

} // namespace

CTerminalObserver::CTerminalObserver(bool showProgress)
    : m_bShowProgress(showProgress), m_start(std::chrono::steady_clock::now()) {}

void CTerminalObserver::ShowMessage(const std::string& text, const std::string& cause) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ClearLocked();
    fprintf(stderr, "%s\n", text.c_str());
    if (!cause.empty())
        fprintf(stderr, "  %s\n", cause.c_str());
    fflush(stderr);
}

void CTerminalObserver::ShowNote(const std::string& text) {
    ShowMessage(text, std::string());
}

void CTerminalObserver::SetFileNameLabel(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strName = EscapeControlBytes(text);
}

std::string CTerminalObserver::DisplayPath(const std::string& path) const {
    return EscapeControlBytes(path);
}

void CTerminalObserver::SetFileCountLabel(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strCount = text;
}

std::string CTerminalObserver::ProgressLine(const std::string& name, const std::string& count,
                                            int percent, long long elapsedSeconds, size_t width) {
    char tail[64];
    snprintf(tail, sizeof tail, " %3d%%  %02lld:%02lld:%02lld", percent, elapsedSeconds / 3600,
             elapsedSeconds / 60 % 60, elapsedSeconds % 60);
    const std::string counted = "  " + count + "  ";
    const size_t barWidth = 20;
    std::string bar(barWidth, '.');
    const int clamped = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    bar.replace(0, barWidth * size_t(clamped) / 100, barWidth * size_t(clamped) / 100, '#');
    const size_t fixed = bar.size() + 2 + std::string(tail).size();
    // Long file names give way in their middle, as the window's label does,
    // so that the line never wraps and keeps the count; on a terminal too
    // narrow for even that, the count gives way too.
    const size_t room = width > fixed + 1 ? width - fixed - 1 : 0;
    std::string head = name + counted;
    if (head.size() > room)
        head = room > counted.size() + 4 ? ElideMiddle(name, room - counted.size()) + counted
                                         : Utf8Prefix(head, room);
    return head + "[" + bar + "]" + tail;
}

void CTerminalObserver::DrawProgress(int percent) {
    if (!m_bShowProgress)
        return;
    const long long elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_start)
            .count();
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string line = ProgressLine(m_strName, m_strCount, percent, elapsed, TerminalWidth());
    fprintf(stderr, "\r\033[K%s", line.c_str());
    fflush(stderr);
    m_bLineShown = true;
}

void CTerminalObserver::ClearProgress() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ClearLocked();
}

void CTerminalObserver::ClearLocked() {
    if (m_bLineShown) {
        fprintf(stderr, "\r\033[K");
        m_bLineShown = false;
    }
}
