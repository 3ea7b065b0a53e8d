#pragma once
// The console without a display: for store servers, automation and tests.
//
// Every message box and notice is written to the run log (caption and text) and answered at
// once, so nothing ever waits for a person. Every call is also recorded, unless told not to
// (a service that runs for months keeps nothing), so tests can assert what a phase showed.
// List1 and List2 keep their last kMaxLineas lines, as a window's lists would be read. With
// echo on, problem lines and boxes are also written to standard error for whoever watches
// the process.

#include <QString>
#include <QStringList>
#include <vector>

#include "run/Console.h"

namespace lumaro::run {

class HeadlessConsole : public Console {
public:
    struct Event {
        enum class Kind {
            State,
            EventPanel,
            Step,
            Problem,
            ClearProblems,
            File,
            ClearFiles,
            Progress,
            Busy,
            Box,
            Notice
        };
        Kind kind;
        QString text;     // the text, prompt or state word
        QString caption;  // box caption or notice title
        int number = 0;   // progress value, notice timeout, box icon, busy flag
    };

    static constexpr qsizetype kMaxLineas = 1000;

    explicit HeadlessConsole(bool echo = false, bool recordEvents = true)
        : m_echo(echo), m_record(recordEvents) {}

    void setStatePanel(const QString& text) override;
    void setEventPanel(const QString& text) override;
    void setStep(const QString& text, int rgb = -1) override;
    void addProblem(const QString& line) override;
    void clearProblems() override;
    void addFile(const QString& name) override;
    void clearFiles() override;
    void setProgress(int minimum, int maximum, int value) override;
    void setBusy(bool busy) override;
    void messageBox(BoxIcon icon, const QString& caption, const QString& text) override;
    void notice(const QString& prompt, const QString& title, int timeoutMs) override;
    void processEvents() override;

    // What a window would show now.
    QString statePanel() const { return m_state; }
    QString eventPanel() const { return m_event; }
    QString step() const { return m_step; }
    QStringList problems() const { return m_problems; }
    QStringList files() const { return m_files; }
    int progress() const { return m_progress; }
    bool busy() const { return m_busy; }
    // Everything shown since construction or the last clearEvents().
    const std::vector<Event>& events() const { return m_events; }
    std::vector<Event> eventsOf(Event::Kind kind) const;
    void clearEvents() { m_events.clear(); }

private:
    void record(Event::Kind kind, const QString& text, const QString& caption = QString(),
                int number = 0);

    bool m_echo;
    bool m_record;
    QString m_state, m_event, m_step;
    QStringList m_problems, m_files;
    int m_progress = 0;
    bool m_busy = false;
    std::vector<Event> m_events;
};

}  // namespace lumaro::run
