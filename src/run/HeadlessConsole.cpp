#include "run/HeadlessConsole.h"

#include <QCoreApplication>
#include <cstdio>

#include "config/Settings.h"

namespace lumaro::run {

using config::EscribirLog;

namespace {

QString iconWord(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::None:
            return QStringLiteral("Aviso");
        case BoxIcon::Information:
            return QStringLiteral("Informacion");
        case BoxIcon::Exclamation:
            return QStringLiteral("Advertencia");
        case BoxIcon::Critical:
            return QStringLiteral("Error");
    }
    return QString();
}

void append(QStringList& lines, const QString& line) {
    if (lines.size() >= HeadlessConsole::kMaxLineas) lines.removeFirst();
    lines.append(line);
}

void echoLine(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

void HeadlessConsole::record(Event::Kind kind, const QString& text, const QString& caption,
                             int number) {
    if (!m_record) return;
    m_events.push_back(Event{kind, text, caption, number});
}

std::vector<HeadlessConsole::Event> HeadlessConsole::eventsOf(Event::Kind kind) const {
    std::vector<Event> out;
    for (const Event& e : m_events)
        if (e.kind == kind) out.push_back(e);
    return out;
}

void HeadlessConsole::setStatePanel(const QString& text) {
    m_state = text;
    record(Event::Kind::State, text);
}

void HeadlessConsole::setEventPanel(const QString& text) {
    m_event = text;
    record(Event::Kind::EventPanel, text);
}

void HeadlessConsole::setStep(const QString& text, int rgb) {
    m_step = text;
    record(Event::Kind::Step, text, QString(), rgb);
}

void HeadlessConsole::addProblem(const QString& line) {
    append(m_problems, line);
    record(Event::Kind::Problem, line);
    if (m_echo) echoLine(line);
}

void HeadlessConsole::clearProblems() {
    m_problems.clear();
    record(Event::Kind::ClearProblems, QString());
}

void HeadlessConsole::addFile(const QString& name) {
    append(m_files, name);
    record(Event::Kind::File, name);
}

void HeadlessConsole::clearFiles() {
    m_files.clear();
    record(Event::Kind::ClearFiles, QString());
}

void HeadlessConsole::setProgress(int, int, int value) {
    m_progress = value;
    record(Event::Kind::Progress, QString(), QString(), value);
}

void HeadlessConsole::setBusy(bool busy) {
    m_busy = busy;
    record(Event::Kind::Busy, QString(), QString(), busy ? 1 : 0);
}

void HeadlessConsole::messageBox(BoxIcon icon, const QString& caption, const QString& text) {
    record(Event::Kind::Box, text, caption, static_cast<int>(icon));
    const QString line = QStringLiteral("Mensaje (%1) <%2>: %3").arg(iconWord(icon), caption, text);
    EscribirLog(line);
    if (m_echo) echoLine(line);
}

void HeadlessConsole::notice(const QString& prompt, const QString& title, int timeoutMs) {
    record(Event::Kind::Notice, prompt, title, timeoutMs);
    EscribirLog(QStringLiteral("Aviso <%1>: %2").arg(title, prompt));
}

void HeadlessConsole::processEvents() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

}  // namespace lumaro::run
